#pragma once
// Base for the program's own window classes: one shared window procedure that
// finds the object through the pointer stored at WM_NCCREATE.
#include <windows.h>

#include <string>
#include <utility>

namespace kv::win {

// Where an exception that escapes a window procedure or timer callback goes
// (the application's general error box); the handler that raised it ends there.
using ExceptionSink = void (*)(const std::string& utf8Message);
void SetExceptionSink(ExceptionSink sink) noexcept;
// Catches whatever is in flight and hands its message to the sink. Call from a catch block.
void ReportCurrentException() noexcept;

// Runs an event handler of a control: its error goes to the error report, and
// the control still finishes the step it was in (a button never sticks pressed).
template <class Handler>
void ReportedStep(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ReportCurrentException();
    }
}

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    [[nodiscard]] HWND Handle() const noexcept { return hwnd_; }

    // Registers the class once per process (idempotent) and creates the window.
    bool Create(const wchar_t* className, DWORD exStyle, DWORD style, const std::wstring& title, int x, int y, int w,
                int h, HWND parent, HMENU id = nullptr, UINT classStyle = 0, HBRUSH background = nullptr,
                HCURSOR cursor = nullptr);

protected:
    // Called for every message while the object is attached; default processing otherwise.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(hwnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
};

}  // namespace kv::win
