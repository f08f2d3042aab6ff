#include "ui/adding_wait_win.h"

#include "app/texts.h"
#include "win/error.h"
#include "win/text.h"

namespace kv::ui {

namespace {

bool IsInput(UINT m) {
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK);
}

}  // namespace

AddingInput ClassifyAddingInput(const MSG& msg, HWND window) {
    const bool ours = msg.hwnd == window || ::IsChild(window, msg.hwnd);
    if (msg.message == WM_CLOSE && msg.hwnd == window) return AddingInput::StopAndClose;
    if (!IsInput(msg.message)) return AddingInput::Pass;
    if (!ours) return AddingInput::Pass;  // another window of this thread (none while adding) keeps its input
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_ESCAPE)
        return AddingInput::Stop;
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) return AddingInput::StopAndClose;
    if ((msg.message == WM_NCLBUTTONDOWN || msg.message == WM_NCLBUTTONUP) && msg.wParam == HTCLOSE)
        return AddingInput::StopAndClose;
    return AddingInput::Drop;
}

std::string AddingText(std::size_t done, std::size_t total) {
    return Tr(TextId::AddingProgress, {std::to_string(done), std::to_string(total)});
}

AddingWait::AddingWait(HWND window, HWND box)
    : window_(window), box_(box), ready_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    if (!ready_) throw Error("Cannot create the adding's event.");
}

void AddingWait::Begin(std::size_t /*total*/) {
    stop_ = close_ = false;
    const int n = ::GetWindowTextLengthW(box_);
    shown_.assign(static_cast<std::size_t>(n) + 1, L'\0');
    shown_.resize(static_cast<std::size_t>(::GetWindowTextW(box_, shown_.data(), n + 1)));
}

void AddingWait::Progress(std::size_t done, std::size_t total) {
    ::SetWindowTextW(box_, win::Widen(AddingText(done, total)).c_str());
}

void AddingWait::End() {
    ::SetWindowTextW(box_, shown_.c_str());
    if (close_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

bool AddingWait::Wait() {
    const HANDLE ready = ready_.Get();
    // Messages are handled after an answer too: a steady flow of answers must not starve the window.
    (void)::MsgWaitForMultipleObjectsEx(1, &ready, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    Pump();
    return !stop_;
}

// Everything waiting is handled or dropped; a quit is kept for the message loop.
void AddingWait::Pump() {
    MSG msg;
    while (!stop_ && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            stop_ = true;
            break;
        }
        switch (ClassifyAddingInput(msg, window_)) {
        case AddingInput::Pass:
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            break;
        case AddingInput::Drop:
            break;
        case AddingInput::StopAndClose:
            close_ = true;
            stop_ = true;
            break;
        case AddingInput::Stop:
            stop_ = true;
            break;
        }
    }
}

}  // namespace kv::ui
