#include "ui/dpi_win.h"

#include "ui/dpi.h"
#include "win/gdi.h"
#include "win/system_library.h"

namespace kv::ui {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn DpiForWindowFunction() noexcept {
    static const auto fn = win::SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    return fn;
}

}  // namespace

int SystemDpi() noexcept {
    win::WindowDc screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND window) noexcept {
    if (window) {
        if (GetDpiForWindowFn fn = DpiForWindowFunction()) {
            const UINT dpi = fn(window);
            if (dpi > 0) return static_cast<int>(dpi);
        }
    }
    return SystemDpi();
}

}  // namespace kv::ui
