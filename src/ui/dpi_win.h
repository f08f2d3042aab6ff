#pragma once
// The DPI a window is shown at. Windows 10 1607 and later tell it per window
// (GetDpiForWindow, looked up at run time so that the program still starts on
// Windows 7 and 8); before that, every window has the system's DPI.
#include <windows.h>

namespace kv::ui {

// The window's DPI; the system's for a null window or a system that cannot tell.
[[nodiscard]] int WindowDpi(HWND window) noexcept;
// The system's DPI, as the screen's device context reports it.
[[nodiscard]] int SystemDpi() noexcept;

}  // namespace kv::ui
