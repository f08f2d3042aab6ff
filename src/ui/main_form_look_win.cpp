// The window in the look Windows asks for: the skin, its dark palette, or the
// system's colours alone under high contrast; it follows every change at once.
#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

#include "ui/look_win.h"
#include "ui/main_form_win.h"
#include "win/system_library.h"

namespace kv {

namespace {

constexpr COLORREF kDarkBox = RGB(43, 43, 43);  // the path boxes' ground in the dark look

// Windows' own dark styles of its controls; absent before Windows 10 1809 (and
// under Wine), where the controls keep their light style.
void Theme(HWND h, const wchar_t* dark, bool on) {
    static const auto set = win::SystemFunction<decltype(&::SetWindowTheme)>(L"uxtheme.dll", "SetWindowTheme");
    if (set && h) set(h, on ? dark : nullptr, nullptr);
}

}  // namespace

ui::Appearance TfrmMain::AskedLook() const { return options_.look ? options_.look() : ui::SystemLook(); }

// A change of look redraws everything; under high contrast a change of the
// system's colours does too, as the buttons are drawn in them.
void TfrmMain::ApplyLook(bool coloursChanged) {
    const ui::Appearance now = AskedLook();
    if (now == skin_->LookShown() && !(coloursChanged && now == ui::Appearance::HighContrast)) return;
    skin_->SetLook(now);
    ApplyDpi(Dpi(), nullptr);
    StyleControls();
}

void TfrmMain::StyleControls() {
    const ui::Appearance look = skin_->LookShown();
    const bool dark = look == ui::Appearance::Dark;
    darkBox_.Reset(dark ? ::CreateSolidBrush(kDarkBox) : nullptr);
    for (const auto& [h, def] : defsByHwnd_) {
        if (def->kind == ui::Kind::Button) Theme(h, L"DarkMode_Explorer", dark);
        if (def->kind != ui::Kind::ListView) continue;
        Theme(h, L"DarkMode_Explorer", dark);
        Theme(ListView_GetHeader(h), L"DarkMode_ItemsView", dark);
        const ui::Palette& p = ui::SkinPalette(look);
        const COLORREF back = dark ? ui::ColorRefOf(p.listBack) : ::GetSysColor(COLOR_WINDOW);
        ListView_SetBkColor(h, back);
        ListView_SetTextBkColor(h, back);
        ListView_SetTextColor(h, dark ? ui::ColorRefOf(p.listText) : ::GetSysColor(COLOR_WINDOWTEXT));
    }
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

std::optional<LRESULT> TfrmMain::OnLookMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SYSCOLORCHANGE:
        // The common controls hear of it only from their parent.
        for (const auto& [h, def] : defsByHwnd_) ::SendMessageW(h, msg, wp, lp);
        ApplyLook(true);
        return 0;
    case WM_SETTINGCHANGE:  // high contrast switched, or apps set to dark or light
    case WM_THEMECHANGED:
        ApplyLook(false);
        return std::nullopt;
    default:
        return OnControlColour(reinterpret_cast<HDC>(wp));
    }
}

// The path boxes (read-only: they ask as static controls) in the dark look.
std::optional<LRESULT> TfrmMain::OnControlColour(HDC dc) const {
    if (!darkBox_) return std::nullopt;
    ::SetTextColor(dc, ui::ColorRefOf(ui::SkinPalette(ui::Appearance::Dark).text));
    ::SetBkColor(dc, kDarkBox);
    return reinterpret_cast<LRESULT>(darkBox_.Get());
}

}  // namespace kv
