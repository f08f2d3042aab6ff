#include "ui/look_win.h"

namespace kv::ui {

namespace {

Colour FromColorRef(COLORREF c) { return Rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

}  // namespace

Appearance SystemLook() {
    HIGHCONTRASTW hc{sizeof hc};
    const bool high =
        ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
    DWORD light = 0, size = sizeof light;
    const bool stored =
        ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                       L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size) == ERROR_SUCCESS;
    return PickLook(high, stored ? std::optional<std::uint32_t>(light) : std::nullopt);
}

COLORREF ColorRefOf(Colour c) { return RGB((c >> 16) & 0xFFU, (c >> 8) & 0xFFU, c & 0xFFU); }

ButtonColours SystemButtonColours(bool hot) {
    const Colour frame = FromColorRef(::GetSysColor(COLOR_WINDOWTEXT));
    if (hot)
        return {FromColorRef(::GetSysColor(COLOR_HIGHLIGHT)), frame, FromColorRef(::GetSysColor(COLOR_HIGHLIGHTTEXT))};
    return {FromColorRef(::GetSysColor(COLOR_BTNFACE)), frame, FromColorRef(::GetSysColor(COLOR_BTNTEXT))};
}

COLORREF InkOf(Appearance look, Ink ink) {
    if (look == Appearance::HighContrast)
        return ::GetSysColor(ink == Ink::Link || ink == Ink::ListLink ? COLOR_HOTLIGHT : COLOR_WINDOWTEXT);
    const Palette& p = SkinPalette(look);
    switch (ink) {
    case Ink::Text:
        return look == Appearance::Skin ? ::GetSysColor(COLOR_WINDOWTEXT) : ColorRefOf(p.text);
    case Ink::Link:
        return look == Appearance::Skin ? ::GetSysColor(COLOR_WINDOWTEXT) : ColorRefOf(p.link);
    case Ink::BannerTitle:
        return ColorRefOf(p.bannerTitle);
    case Ink::BannerLine:
        return ColorRefOf(p.bannerLine);
    case Ink::ListText:
        return ColorRefOf(p.listText);
    case Ink::ListLink:
        return ColorRefOf(p.listLink);
    }
    return ColorRefOf(p.text);
}

}  // namespace kv::ui
