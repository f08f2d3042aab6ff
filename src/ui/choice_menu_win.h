#pragma once
// The menu of choices as Windows menus: appended to a shortcut menu or to the
// window's system menu, with radio marks at the current values.
#include <windows.h>

#include "convert/choices.h"

namespace kv::ui {

// Appends the three groups as submenus and "About Korvello" to `menu`.
void AppendChoiceMenu(HMENU menu, const ConversionChoices& choices, int maxFiles);
// Removes the items of `menu` from position `first` on (with their submenus).
void RemoveMenuItemsFrom(HMENU menu, int first);

// Where a shortcut menu opens: at the pointer's point `lp` from a right-click,
// or near the focused control (else the window) for Shift+F10 and the Menu
// key, which give no point (-1).
POINT ShortcutMenuPoint(HWND window, LPARAM lp, int dpi);

}  // namespace kv::ui
