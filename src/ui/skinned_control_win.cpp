#include "ui/skinned_control_win.h"

#include "win/gdi.h"

namespace kv::ui {

namespace {

// Posted for a screen reader's default action: its call returns at once.
constexpr UINT kAccessibleClick = WM_USER + 1;

}  // namespace

std::optional<LRESULT> TSkinnedControl::HandleSkinMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        win::PaintDc dc(Handle());
        if (dc) PaintFace(dc.Get());
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintFace(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the face covers the control or lets what lies beneath show: erasing would only flicker
    case WM_SETCURSOR:
        if (LOWORD(lp) != HTCLIENT) return std::nullopt;
        ::SetCursor(cursor_ ? cursor_ : ::LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    case WM_GETOBJECT: {
        AccessibleFace face = Face();
        face.actionMessage = kAccessibleClick;
        if (const LRESULT r = AnswerGetObject(Handle(), wp, lp, face)) return r;
        return std::nullopt;
    }
    case kAccessibleClick:
        AccessibleClick();
        return 0;
    default:
        return std::nullopt;
    }
}

void TSkinnedControl::RaiseClick() {
    if (!OnClick) return;
    // A copy: the handler may replace the event it runs in.
    TNotifyEvent handler = OnClick;
    win::ReportedStep([&] { handler(this); });
}

void TSkinnedControl::RaiseMouseMove(unsigned keys, int x, int y) {
    if (!OnMouseMove) return;
    TMouseMoveEvent handler = OnMouseMove;
    win::ReportedStep([&] { handler(this, keys, x, y); });
}

}  // namespace kv::ui
