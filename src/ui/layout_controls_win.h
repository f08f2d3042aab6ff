#pragma once
// The windowed controls of the layout: the system's edit, memo, button, list
// box and list view classes, made as the layout describes them.
#include <windows.h>

#include <functional>

#include "ui/layout.h"

namespace kv::ui {

// A child of `parent` at `place`, with `font`; null for a kind that is no
// system control (the skinned and painted ones) or when the system refuses it.
HWND CreateLayoutControl(HWND parent, const ControlDef& def, RECT place, HFONT font, int dpi);

// Gives the window its say over a character typed into the control; false
// when no handler is bound. A handler that sets the key to 0 drops it.
using KeyPressFilter = std::function<bool(const ControlDef& def, wchar_t& key)>;
// What the window handles for a windowed control: its characters through
// `keyPress` (which must outlive the control), the hand over a link, the
// window's menu from the keyboard in a path box, and its name for a screen
// reader, from the layout.
void FollowLayoutControl(HWND control, const ControlDef& def, const KeyPressFilter& keyPress);

}  // namespace kv::ui
