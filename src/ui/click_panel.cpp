#include "ui/click_panel.h"

#include <windowsx.h>

#include <oleacc.h>

#include "ui/accessible.h"
#include "win/gdi.h"
#include "win/text.h"

namespace kv::ui {

namespace {

constexpr wchar_t kClassName[] = L"KorvelloTranPanel";
constexpr UINT kAccessibleClick = WM_USER + 1;  // a screen reader's "jump"

template <typename F>
void Guarded(F&& f) noexcept {
    try {
        f();
    } catch (...) {
        win::ReportCurrentException();
    }
}

}  // namespace

TTranPanel::TTranPanel(TComponent* owner) : TComponent(owner), cursor_(::LoadCursorW(nullptr, IDC_HAND)) {}

bool TTranPanel::Create(HWND parent, int left, int top, int width, int height, int id) {
    if (Handle()) return false;
    // WS_EX_TRANSPARENT: the system paints the panel after the siblings beneath
    // it, so with no background of its own they show through.
    return Window::Create(kClassName, WS_EX_TRANSPARENT, WS_CHILD | WS_VISIBLE, L"", left, top, width, height, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), CS_DBLCLKS);
}

void TTranPanel::SetBorder(bool border) {
    if (border == border_) return;
    border_ = border;
    if (!Handle()) return;
    // The panel has no background to paint over an old frame: the parent
    // repaints what lies beneath, then the panel draws (or not) on top.
    HWND parent = ::GetParent(Handle());
    RECT rc{};
    ::GetWindowRect(Handle(), &rc);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
    ::RedrawWindow(parent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TTranPanel::Paint(HDC dc) {
    if (!border_) return;
    RECT rc{};
    ::GetClientRect(Handle(), &rc);
    ::FrameRect(dc, &rc, ::GetSysColorBrush(COLOR_BTNSHADOW));
}

void TTranPanel::MouseButton(TMouseButton button, bool down, bool doubleClick, WPARAM wp, LPARAM lp) {
    const int x = GET_X_LPARAM(lp);
    const int y = GET_Y_LPARAM(lp);
    bool click = false;
    if (button == mbLeft) {
        if (down) {
            ::SetCapture(Handle());
            // A quick second press is a press, not the start of a second click.
            clickBegun_ = !doubleClick;
        } else {
            RECT rc{};
            ::GetClientRect(Handle(), &rc);
            const POINT pt{x, y};
            click = clickBegun_ && ::PtInRect(&rc, pt);
            clickBegun_ = false;
            // After the decision: releasing sends WM_CAPTURECHANGED at once.
            if (::GetCapture() == Handle()) ::ReleaseCapture();
        }
    }
    if (click && OnClick) {
        TNotifyEvent handler = OnClick;
        Guarded([&] { handler(this); });
    }
    const TMouseEvent& ev = down ? OnMouseDown : OnMouseUp;
    if (ev) {
        TMouseEvent handler = ev;
        Guarded([&] { handler(this, button, static_cast<unsigned>(wp), x, y); });
    }
}

LRESULT TTranPanel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        win::PaintDc dc(Handle());
        if (dc) Paint(dc.Get());
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // see-through: what lies beneath stays
    case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT) {
            ::SetCursor(cursor_ ? cursor_ : ::LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
        MouseButton(mbLeft, true, false, wp, lp);
        return 0;
    case WM_LBUTTONDBLCLK:
        MouseButton(mbLeft, true, true, wp, lp);
        return 0;
    case WM_LBUTTONUP:
        MouseButton(mbLeft, false, false, wp, lp);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseButton(mbRight, true, msg == WM_RBUTTONDBLCLK, wp, lp);
        return 0;
    case WM_RBUTTONUP:
        MouseButton(mbRight, false, false, wp, lp);
        break;  // default processing raises WM_CONTEXTMENU
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        MouseButton(mbMiddle, true, msg == WM_MBUTTONDBLCLK, wp, lp);
        return 0;
    case WM_MBUTTONUP:
        MouseButton(mbMiddle, false, false, wp, lp);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) != Handle()) clickBegun_ = false;
        return 0;
    case WM_GETOBJECT: {
        const AccessibleFace face{
            win::Widen(accessibleName_), ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED, L"", L"Jump", kAccessibleClick};
        if (const LRESULT r = AnswerGetObject(Handle(), wp, lp, face)) return r;
        break;
    }
    case kAccessibleClick:
        if (OnClick) {
            TNotifyEvent handler = OnClick;
            Guarded([&] { handler(this); });
        }
        return 0;
    case WM_MOUSEMOVE:
        if (OnMouseMove) {
            TMouseMoveEvent handler = OnMouseMove;
            Guarded([&] { handler(this, static_cast<unsigned>(wp), GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); });
        }
        return 0;
    default:
        break;
    }
    return Default(msg, wp, lp);
}

}  // namespace kv::ui
