#include "ui/dpi_win.h"

#include "ui/dpi.h"
#include "win/gdi.h"

namespace kv::ui {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn DpiForWindowFunction() noexcept {
    static const GetDpiForWindowFn fn = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        // A function pointer from GetProcAddress has to be cast to its real type.
        return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                            reinterpret_cast<void (*)()>(::GetProcAddress(user32, "GetDpiForWindow")))
                      : nullptr;
    }();
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
