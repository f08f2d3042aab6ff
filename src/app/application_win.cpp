#include "app/application_win.h"

#include "win/error.h"
#include "win/text.h"

namespace kv {

namespace {

TApplication* g_app = nullptr;

void ShowThroughApplication(const std::string& message) {
    if (g_app) g_app->ShowException(message);
}

}  // namespace

TApplication::TApplication() : dialogs_(MakeSystemDialogs()) {
    g_app = this;
    win::SetExceptionSink(&ShowThroughApplication);
}

TApplication::~TApplication() {
    if (g_app == this) {
        g_app = nullptr;
        win::SetExceptionSink(nullptr);
    }
}

TApplication* TApplication::Instance() noexcept { return g_app; }

bool TApplication::Initialize() {
    // A captioned popup of no size in the middle of the screen: invisible, yet it
    // has a taskbar button, and the main window it owns has none of its own.
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    if (!Create(kApplicationClass, 0, WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                win::Widen(title_), x, y, 0, 0, nullptr))
        return false;
    ::SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    if (Handle()) ::SetWindowTextW(Handle(), win::Widen(title).c_str());
}

void TApplication::ShowException(const std::string& message) {
    HWND owner = mainForm_ && ::IsWindowVisible(mainForm_) ? mainForm_ : nullptr;
    dialogs_->MessageBox(owner, ErrorBoxText(message), title_, MB_OK | MB_ICONERROR);
}

void TApplication::Minimize() {
    // The owned main window goes with its owner; not every system hides it by itself.
    if (mainForm_) ::ShowWindow(mainForm_, SW_HIDE);
    if (Handle()) ::ShowWindow(Handle(), SW_MINIMIZE);
}

int TApplication::Run() {
    MSG msg;
    while (mainForm_ && ::IsWindow(mainForm_) && ::GetMessageW(&msg, nullptr, 0, 0) > 0) ProcessMessage(msg);
    return 0;
}

void TApplication::ProcessMessage(MSG& msg) {
    if (mainForm_ && ::IsDialogMessageW(mainForm_, &msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

LRESULT TApplication::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ACTIVATE:
        // Activation that reaches the invisible window belongs to the main window.
        if (LOWORD(wp) != WA_INACTIVE && mainForm_ && ::IsWindowVisible(mainForm_)) {
            ::SetActiveWindow(mainForm_);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_RESTORE) {
            LRESULT r = Default(msg, wp, lp);
            if (mainForm_) {
                ::ShowWindow(mainForm_, SW_SHOW);
                ::SetForegroundWindow(mainForm_);
            }
            return r;
        }
        if ((wp & 0xFFF0) == SC_CLOSE) {
            if (mainForm_) ::PostMessageW(mainForm_, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (mainForm_) ::PostMessageW(mainForm_, WM_CLOSE, 0, 0);
        return 0;
    default:
        break;
    }
    return Default(msg, wp, lp);
}

}  // namespace kv
