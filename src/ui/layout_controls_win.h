#pragma once
// The windowed controls of the layout: the system's edit, memo, button, list
// box and list view classes, made as the layout describes them.
#include <windows.h>

#include "ui/layout.h"

namespace kv::ui {

// A child of `parent` at `place`, with `font`; null for a kind that is no
// system control (the skinned and painted ones) or when the system refuses it.
HWND CreateLayoutControl(HWND parent, const ControlDef& def, RECT place, HFONT font, int dpi);

}  // namespace kv::ui
