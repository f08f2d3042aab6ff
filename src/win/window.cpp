#include "win/window.h"

#include <exception>
#include <stdexcept>

namespace kv::win {

namespace {
ExceptionSink g_sink = nullptr;
}

void SetExceptionSink(ExceptionSink sink) noexcept { g_sink = sink; }

void ReportCurrentException() noexcept {
    try {
        std::string text;
        try {
            throw;
        } catch (const std::exception& e) {
            text = e.what();
        } catch (...) {
            text = "Unknown error";
        }
        if (g_sink) g_sink(text);
    } catch (...) {
        // Nothing may leave a window procedure.
    }
}

Window::~Window() {
    if (hwnd_) {
        // Detach first: the object is half destroyed and must not see WM_DESTROY.
        HWND h = hwnd_;
        ::SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        ::DestroyWindow(h);
    }
}

bool Window::Create(const wchar_t* className, DWORD exStyle, DWORD style, const std::wstring& title, int x, int y,
                    int w, int h, HWND parent, HMENU id, UINT classStyle, HBRUSH background, HCURSOR cursor) {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (!::GetClassInfoExW(inst, className, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = classStyle;
        wc.lpfnWndProc = &Window::StaticProc;
        wc.hInstance = inst;
        wc.hCursor = cursor ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        if (!::RegisterClassExW(&wc)) return false;
    }
    return ::CreateWindowExW(exStyle, className, title.c_str(), style, x, y, w, h, parent, id, inst, this) != nullptr;
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT r = 0;
    try {
        r = self->HandleMessage(msg, wp, lp);
    } catch (...) {
        ReportCurrentException();
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return r;
}

}  // namespace kv::win
