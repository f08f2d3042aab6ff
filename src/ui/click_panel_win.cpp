#include "ui/click_panel_win.h"

#include <windowsx.h>

#include <oleacc.h>

#include "app/texts.h"
#include "win/gdi.h"
#include "win/text.h"

namespace kv::ui {

namespace {

constexpr wchar_t kClassName[] = L"KorvelloTranPanel";

}  // namespace

TTranPanel::TTranPanel(TComponent* owner) : TSkinnedControl(owner) {}

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

void TTranPanel::PaintFace(HDC dc) {
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
    if (click) RaiseClick();
    const TMouseEvent& ev = down ? OnMouseDown : OnMouseUp;
    if (ev) {
        TMouseEvent handler = ev;
        win::ReportedStep([&] { handler(this, button, static_cast<unsigned>(wp), x, y); });
    }
}

AccessibleFace TTranPanel::Face() const {
    return {win::Widen(AccessibleName()), ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED, L"",
            win::Widen(Tr(TextId::LinkAction))};
}

LRESULT TTranPanel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (const auto r = HandleSkinMessage(msg, wp, lp)) return *r;
    if (const auto r = OnMouseMessage(msg, wp, lp)) return *r;
    if (msg == WM_CAPTURECHANGED) {
        if (reinterpret_cast<HWND>(lp) != Handle()) clickBegun_ = false;
        return 0;
    }
    return Default(msg, wp, lp);
}

std::optional<LRESULT> TTranPanel::OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        MouseButton(mbLeft, true, msg == WM_LBUTTONDBLCLK, wp, lp);
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
        return std::nullopt;  // default processing raises WM_CONTEXTMENU
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        MouseButton(mbMiddle, true, msg == WM_MBUTTONDBLCLK, wp, lp);
        return 0;
    case WM_MBUTTONUP:
        MouseButton(mbMiddle, false, false, wp, lp);
        return 0;
    case WM_MOUSEMOVE:
        RaiseMouseMove(static_cast<unsigned>(wp), GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
    default:
        return std::nullopt;
    }
}

}  // namespace kv::ui
