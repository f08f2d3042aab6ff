// The Windows port of TAdvancedTimer: SetTimer on a hidden message window of
// its own, so several timers coexist with the same identifier.
#include "components/advantmr.h"

#include "win/window.h"

namespace kv {

namespace {

constexpr UINT_PTR kTimerId = 1;

class MessageWindowPort final : public TimerPort, private win::Window {
public:
    MessageWindowPort() {
        // A message-only window: never shown, not listed among top-level windows.
        (void)Create(L"KorvelloTimerWindow", 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE);
    }
    ~MessageWindowPort() override { Disarm(); }

    bool Arm(std::uint32_t milliseconds) override {
        return Handle() != nullptr && ::SetTimer(Handle(), kTimerId, milliseconds, nullptr) != 0;
    }
    void Disarm() noexcept override {
        if (Handle()) ::KillTimer(Handle(), kTimerId);
    }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_TIMER && wp == kTimerId) {
            // An exception from Tick goes to the shared window procedure's report.
            // The timer, and this window with it, may be destroyed on return.
            Deliver();
            return 0;
        }
        return Default(msg, wp, lp);
    }
};

}  // namespace

std::unique_ptr<TimerPort> MakeWindowTimerPort() { return std::make_unique<MessageWindowPort>(); }

TAdvancedTimer::TAdvancedTimer(TComponent* owner) : TAdvancedTimer(owner, MakeWindowTimerPort()) {}

}  // namespace kv
