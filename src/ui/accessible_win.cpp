#include "ui/accessible_win.h"

#include <oleacc.h>

#include <atomic>
#include <utility>

#include "win/com.h"
#include "win/system_library.h"

namespace kv::ui {

namespace {

using AccessiblePtr = win::ComPtr<IAccessible>;

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT Text(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = text.empty() ? nullptr : ::SysAllocString(text.c_str());
    return text.empty() ? S_FALSE : (*out ? S_OK : E_OUTOFMEMORY);
}

// Reference counting and IDispatch for an object that stands in front of
// the system's own object for a window.
class SystemBacked : public IAccessible {
public:
    SystemBacked(HWND hwnd, AccessiblePtr system) : hwnd_(hwnd), system_(std::move(system)) {}
    SystemBacked(const SystemBacked&) = delete;
    SystemBacked& operator=(const SystemBacked&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return system_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
        return system_->GetTypeInfo(i, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
        return system_->GetIDsOfNames(iid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* arg) override {
        return system_->Invoke(id, iid, lcid, flags, params, result, info, arg);
    }

protected:
    virtual ~SystemBacked() = default;

    HWND hwnd_;
    AccessiblePtr system_;

private:
    std::atomic<ULONG> refs_{1};
};

// The system's client object with the face's answers in front of it.
class FaceAccessible final : public SystemBacked {
public:
    FaceAccessible(HWND hwnd, AccessiblePtr system, AccessibleFace face)
        : SystemBacked(hwnd, std::move(system)), face_(std::move(face)) {}

    // IAccessible: the face's own answers
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return IsSelf(child) ? Text(face_.name, name) : system_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return IsSelf(child) && !face_.description.empty() ? Text(face_.description, text)
                                                           : system_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return IsSelf(child) && !face_.defaultAction.empty() ? Text(face_.defaultAction, action)
                                                             : system_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child)) return system_->get_accRole(child, role);
        if (!role) return E_POINTER;
        ::VariantInit(role);
        role->vt = VT_I4;
        role->lVal = face_.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        const HRESULT hr = system_->get_accState(child, state);
        if (SUCCEEDED(hr) && IsSelf(child) && state && state->vt == VT_I4) state->lVal |= face_.extraState;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child) || !face_.actionMessage) return system_->accDoDefaultAction(child);
        return ::PostMessageW(hwnd_, face_.actionMessage, 0, 0) ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
    }

    // IAccessible: the system's answers
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return system_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override { return system_->get_accChildCount(n); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return system_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return system_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return system_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return system_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return system_->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return system_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return system_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return system_->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
        return system_->accLocation(x, y, w, h, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
        return system_->accNavigate(dir, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return system_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return system_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return system_->put_accValue(child, value);
    }

private:
    ~FaceAccessible() override = default;

    AccessibleFace face_;
};

// The system's client object, with painted parts as simple children after
// its own (child ids past the system's count).
class PartsAccessible final : public SystemBacked {
public:
    PartsAccessible(HWND hwnd, AccessiblePtr system, std::vector<AccessiblePart> parts)
        : SystemBacked(hwnd, std::move(system)), parts_(std::move(parts)) {}

    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
        if (!n) return E_POINTER;
        const HRESULT hr = system_->get_accChildCount(n);
        if (SUCCEEDED(hr)) *n += static_cast<long>(parts_.size());
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!Part(child)) return system_->get_accChild(child, out);
        if (!out) return E_POINTER;
        *out = nullptr;
        return S_FALSE;  // a simple element: asked through this object by its id
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        const AccessiblePart* p = Part(child);
        return p ? Text(p->name, name) : system_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        const AccessiblePart* p = Part(child);
        if (!p) return system_->get_accRole(child, role);
        if (!role) return E_POINTER;
        ::VariantInit(role);
        role->vt = VT_I4;
        role->lVal = p->role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        const AccessiblePart* p = Part(child);
        if (!p) return system_->get_accState(child, state);
        if (!state) return E_POINTER;
        ::VariantInit(state);
        state->vt = VT_I4;
        state->lVal = p->state | (::IsWindowVisible(hwnd_) ? 0 : STATE_SYSTEM_INVISIBLE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        const AccessiblePart* p = Part(child);
        return p ? Text(p->defaultAction, action) : system_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        const AccessiblePart* p = Part(child);
        if (!p) return system_->accDoDefaultAction(child);
        if (!p->actionMessage) return DISP_E_MEMBERNOTFOUND;
        const auto index = static_cast<WPARAM>(p - parts_.data());
        return ::PostMessageW(hwnd_, p->actionMessage, index, 0) ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
        const AccessiblePart* p = Part(child);
        if (!p) return system_->accLocation(x, y, w, h, child);
        if (!x || !y || !w || !h) return E_POINTER;
        POINT origin{p->rect.left, p->rect.top};
        ::ClientToScreen(hwnd_, &origin);
        *x = origin.x;
        *y = origin.y;
        *w = p->rect.right - p->rect.left;
        *h = p->rect.bottom - p->rect.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        if (!child) return E_POINTER;
        POINT pt{x, y};
        ::ScreenToClient(hwnd_, &pt);
        // Child windows lie above the painted parts.
        const HRESULT hr = system_->accHitTest(x, y, child);
        if (FAILED(hr) || child->vt != VT_I4 || child->lVal != CHILDID_SELF) return hr;
        for (std::size_t i = parts_.size(); i-- > 0;) {
            if (!::PtInRect(&parts_[i].rect, pt)) continue;
            child->lVal = FirstPartId() + static_cast<long>(i);
            return S_OK;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return system_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Part(child) ? Text(L"", value) : system_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return Part(child) ? Text(L"", text) : system_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Part(child) ? Text(L"", help) : system_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return Part(child) ? S_FALSE : system_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return Part(child) ? Text(L"", keys) : system_->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return system_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return system_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return Part(child) ? DISP_E_MEMBERNOTFOUND : system_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
        return Part(start) ? DISP_E_MEMBERNOTFOUND : system_->accNavigate(dir, start, end);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return Part(child) ? DISP_E_MEMBERNOTFOUND : system_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return Part(child) ? DISP_E_MEMBERNOTFOUND : system_->put_accValue(child, value);
    }

private:
    ~PartsAccessible() override = default;

    // The first id past the system's children, counted afresh: child windows may come and go.
    long FirstPartId() const {
        long n = 0;
        if (FAILED(system_->get_accChildCount(&n))) n = 0;
        return n + 1;
    }
    const AccessiblePart* Part(const VARIANT& child) const {
        if (child.vt != VT_I4 || child.lVal == CHILDID_SELF) return nullptr;
        const long index = child.lVal - FirstPartId();
        if (index < 0 || index >= static_cast<long>(parts_.size())) return nullptr;
        return &parts_[static_cast<std::size_t>(index)];
    }

    std::vector<AccessiblePart> parts_;
};

// The accessibility library is no known DLL: it is loaded from the system folder, not beside the program.
AccessiblePtr SystemObject(HWND hwnd) {
    static const auto create =
        win::SystemFunction<decltype(&::CreateStdAccessibleObject)>(L"oleacc.dll", "CreateStdAccessibleObject");
    AccessiblePtr object;
    if (!create || FAILED(create(hwnd, OBJID_CLIENT, IID_IAccessible, object.PutVoid()))) return {};
    return object;
}

// The object id arrives as a 32-bit value in a 64-bit parameter: compare it as one.
bool AsksForClient(LPARAM lp) { return static_cast<LONG>(static_cast<DWORD>(lp)) == OBJID_CLIENT; }

LRESULT Answer(WPARAM wp, IAccessible* object) {
    // The result holds its own reference.
    static const auto lresult = win::SystemFunction<decltype(&::LresultFromObject)>(L"oleacc.dll", "LresultFromObject");
    if (!lresult) return 0;
    const LRESULT result = lresult(IID_IAccessible, wp, object);
    return result < 0 ? 0 : result;
}

}  // namespace

LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, std::vector<AccessiblePart> parts) {
    if (!AsksForClient(lp)) return 0;
    AccessiblePtr system = SystemObject(hwnd);
    if (!system) return 0;
    AccessiblePtr mine(new PartsAccessible(hwnd, std::move(system), std::move(parts)));
    return Answer(wp, mine.Get());
}

LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, const AccessibleFace& face) {
    if (!AsksForClient(lp)) return 0;
    AccessiblePtr system = SystemObject(hwnd);
    if (!system) return 0;
    AccessiblePtr mine(new FaceAccessible(hwnd, std::move(system), face));
    return Answer(wp, mine.Get());
}

}  // namespace kv::ui
