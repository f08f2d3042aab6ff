#include "ui/accessible.h"

#include <oleacc.h>

#include <atomic>
#include <memory>
#include <utility>

namespace kv::ui {

namespace {

struct ReleaseCom {
    void operator()(IUnknown* p) const noexcept { p->Release(); }
};
using AccessiblePtr = std::unique_ptr<IAccessible, ReleaseCom>;

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT Text(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = text.empty() ? nullptr : ::SysAllocString(text.c_str());
    return text.empty() ? S_FALSE : (*out ? S_OK : E_OUTOFMEMORY);
}

// The system's client object with the face's answers in front of it.
class FaceAccessible final : public IAccessible {
public:
    FaceAccessible(HWND hwnd, AccessiblePtr system, AccessibleFace face)
        : hwnd_(hwnd), system_(std::move(system)), face_(std::move(face)) {}

    // IUnknown
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

    // IDispatch
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
    ~FaceAccessible() = default;

    std::atomic<ULONG> refs_{1};
    HWND hwnd_;
    AccessiblePtr system_;
    AccessibleFace face_;
};

}  // namespace

LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, const AccessibleFace& face) {
    // The object id arrives as a 32-bit value in a 64-bit parameter: compare it as one.
    if (static_cast<LONG>(static_cast<DWORD>(lp)) != OBJID_CLIENT) return 0;
    IAccessible* raw = nullptr;
    if (FAILED(::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&raw))) ||
        !raw)
        return 0;
    AccessiblePtr system(raw);
    AccessiblePtr mine(new FaceAccessible(hwnd, std::move(system), face));
    // The result holds its own reference; ours goes with `mine`.
    const LRESULT result = ::LresultFromObject(IID_IAccessible, wp, mine.get());
    return result < 0 ? 0 : result;
}

}  // namespace kv::ui
