#include "ui/look.h"

#include <algorithm>
#include <cmath>

namespace kv::ui {

namespace {

constexpr Palette kLight{Rgb(220, 220, 220), Rgb(0, 0, 0),       Rgb(0, 0, 0), Rgb(24, 84, 150),
                         Rgb(58, 63, 70),    Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(0, 0, 255)};
constexpr Palette kDark{Rgb(32, 32, 32),    Rgb(230, 230, 230), Rgb(230, 230, 230), Rgb(110, 170, 235),
                        Rgb(222, 225, 230), Rgb(25, 25, 25),    Rgb(230, 230, 230), Rgb(120, 180, 255)};

double Channel(std::uint32_t c) {
    const double v = static_cast<double>(c & 0xFFU) / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(Colour c) { return 0.2126 * Channel(c >> 16) + 0.7152 * Channel(c >> 8) + 0.0722 * Channel(c); }

// A colour one step from the key, so that it never cuts a hole in the shape.
Colour NotKey(Colour c, Colour key) { return c == key ? (c ^ 1U) : c; }

bool IsEdge(const TPixmap& art, int x, int y, Colour key) {
    if (x == 0 || y == 0 || x == art.width - 1 || y == art.height - 1) return true;
    return art.At(x - 1, y) == key || art.At(x + 1, y) == key || art.At(x, y - 1) == key || art.At(x, y + 1) == key;
}

}  // namespace

Appearance PickLook(bool highContrast, std::optional<std::uint32_t> appsUseLightTheme) {
    if (highContrast) return Appearance::HighContrast;
    return appsUseLightTheme == 0U ? Appearance::Dark : Appearance::Skin;
}

const Palette& SkinPalette(Appearance look) { return look == Appearance::Dark ? kDark : kLight; }

double ContrastRatio(Colour a, Colour b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TPixmap HighContrastPicture(const TPixmap& art, bool glyphIsDark, ButtonColours colours) {
    if (art.Empty()) return art;
    const Colour key = KeyColour(art);
    TPixmap out(art.width, art.height, key);
    for (int y = 0; y < art.height; ++y)
        for (int x = 0; x < art.width; ++x) {
            const Colour c = art.At(x, y);
            if (c == key) continue;
            const double l = Luminance(c);
            const bool glyph = glyphIsDark ? l < 0.18 : l > 0.6;
            const Colour shown = IsEdge(art, x, y, key) ? colours.frame : glyph ? colours.glyph : colours.face;
            out.Set(x, y, NotKey(shown, key));
        }
    return out;
}

}  // namespace kv::ui
