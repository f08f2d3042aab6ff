#pragma once
// The application object: the hidden top-level window that carries the taskbar
// button and owns the main window, the title, the message loop and the general
// error box.
#include <windows.h>

#include <memory>
#include <string>

#include "app/dialogs_win.h"
#include "win/window.h"

namespace kv {

inline constexpr const wchar_t* kApplicationClass = L"TApplication";

class TApplication : public win::Window {
public:
    TApplication();
    ~TApplication() override;

    // Creates the hidden window; the title must be set before the single-instance check reads it.
    bool Initialize();
    void SetTitle(const std::string& title);
    [[nodiscard]] const std::string& Title() const noexcept { return title_; }

    void SetMainForm(HWND form) noexcept { mainForm_ = form; }
    [[nodiscard]] HWND MainForm() const noexcept { return mainForm_; }

    IDialogs& Dialogs() noexcept { return *dialogs_; }
    void SetDialogs(std::unique_ptr<IDialogs> dialogs) { dialogs_ = std::move(dialogs); }

    // The general error box: the message in a modal box titled with the
    // application title, error icon, one "OK" button.
    void ShowException(const std::string& message);

    // Minimizes to the taskbar button; the owned main window hides with it.
    void Minimize();

    // Runs the message loop until the main window is gone or WM_QUIT arrives.
    int Run();
    // One message as the loop handles it: the main window's keyboard
    // navigation first (Tab, Shift+Tab, Enter, Esc, access keys), then the
    // ordinary translation and dispatch.
    void ProcessMessage(MSG& msg);

    static TApplication* Instance() noexcept;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    std::string title_;
    HWND mainForm_ = nullptr;
    std::unique_ptr<IDialogs> dialogs_;
};

}  // namespace kv
