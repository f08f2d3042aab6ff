// Which look Windows asks for now, and the system's colours for it.
#pragma once

#include <windows.h>

#include "ui/look.h"

namespace kv::ui {

// High contrast (SPI_GETHIGHCONTRAST), else dark when the user's apps are set
// to dark (AppsUseLightTheme = 0), else the skin.
Appearance SystemLook();

COLORREF ColorRefOf(Colour c);
// A button's colours under high contrast: at rest, or under the pointer.
ButtonColours SystemButtonColours(bool hot);

// The text colour of what the window paints itself, in a look.
enum class Ink { Text, Link, BannerTitle, BannerLine, ListText, ListLink };
COLORREF InkOf(Appearance look, Ink ink);

}  // namespace kv::ui
