#include "ui/skinned_control_win.h"

#include "win/gdi.h"

namespace kv::ui {

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
    default:
        return std::nullopt;
    }
}

}  // namespace kv::ui
