#pragma once
// The window while a batch of files is probed: painted, answering other
// programs and the system, its folder box counting "Adding 37 of 200". Esc,
// Alt+F4 and the close button stop the adding (the last two then close the
// window); other keys and clicks are dropped until the adding is over, as a
// busy window ignores them.
#include <windows.h>

#include <string>

#include "convert/probe_pool.h"
#include "win/handle.h"

namespace kv::ui {

// What one message does to the adding: nothing (it is handled as usual),
// dropped, stop, or stop and close the window afterwards.
enum class AddingInput : std::uint8_t { Pass, Drop, Stop, StopAndClose };
AddingInput ClassifyAddingInput(const MSG& msg, HWND window);

class AddingWait final : public IProbeWait {
public:
    // `box` shows the count; its text comes back when the adding ends.
    AddingWait(HWND window, HWND box);

    void Wake() override { ::SetEvent(ready_.Get()); }
    bool Wait() override;
    void Begin(std::size_t total) override;
    void Progress(std::size_t done, std::size_t total) override;
    void End() override;

private:
    void Pump();

    HWND window_, box_;
    win::UniqueHandle ready_;  // auto-reset: set by a probe's thread
    std::wstring shown_;       // the box's text before the adding
    bool stop_ = false, close_ = false;
};

// "Adding 37 of 200".
std::string AddingText(std::size_t done, std::size_t total);

}  // namespace kv::ui
