// How the window draws itself: its skin as drawn, the skin's dark palette
// when Windows' apps are set to dark, or the system's own colours alone when
// high contrast is on.
#pragma once

#include <cstdint>
#include <optional>

#include "ui/pixmap.h"

namespace kv::ui {

enum class Appearance { Skin, Dark, HighContrast };

// High contrast outranks everything; then AppsUseLightTheme = 0 means dark
// (missing, or of another value, light).
Appearance PickLook(bool highContrast, std::optional<std::uint32_t> appsUseLightTheme);

using Colour = std::uint32_t;  // 0x00RRGGBB, as the pixmaps hold colours (Rgb in pixmap.h)

// The colours of what the window paints itself over its art.
struct Palette {
    Colour face;         // the skin's face, where no picture lies
    Colour text;         // labels
    Colour link;         // the link labels
    Colour bannerTitle;  // the banner's words
    Colour bannerLine;
    Colour listBack;  // the list, its text and its clickable cells
    Colour listText;
    Colour listLink;
};
// The skin's palettes (high contrast takes the system's colours instead).
const Palette& SkinPalette(Appearance look);

// WCAG's contrast ratio of two colours, 1 to 21.
double ContrastRatio(Colour a, Colour b);

// The colours a button is drawn in under high contrast.
struct ButtonColours {
    Colour face, frame, glyph;
};
// A button's picture in the system's colours, its shape unchanged: the key
// colour stays where the art has it, the pixels along the shape's edge are the
// frame, the art's glyph (darker than the face when glyphIsDark, else lighter)
// the glyph, and the rest the face.
TPixmap HighContrastPicture(const TPixmap& art, bool glyphIsDark, ButtonColours colours);

}  // namespace kv::ui
