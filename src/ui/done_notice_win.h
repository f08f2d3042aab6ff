#pragma once
// The word that a run has ended, for a user whose window is behind others:
// a notification-area balloon, which Windows 10 and 11 show as a toast.
// Clicking it brings the window forward; the icon goes when the balloon does.
#include <windows.h>

#include <string>

namespace kv::ui {

class DoneNotice {
public:
    // `callbackMessage` reaches `window` for the icon's events: hand it to OnCallback.
    DoneNotice(HWND window, UINT callbackMessage);
    ~DoneNotice();
    DoneNotice(const DoneNotice&) = delete;
    DoneNotice& operator=(const DoneNotice&) = delete;

    // False when the shell took no icon (no notification area).
    bool Show(const std::string& title, const std::string& text);
    // The icon's event: a click on the balloon or the icon brings the window forward.
    void OnCallback(LPARAM lp);
    [[nodiscard]] bool Shown() const noexcept { return shown_; }
    [[nodiscard]] const std::string& Text() const noexcept { return text_; }

private:
    void Remove() noexcept;
    HWND window_;
    UINT message_;
    bool shown_ = false;
    std::string text_;
};

}  // namespace kv::ui
