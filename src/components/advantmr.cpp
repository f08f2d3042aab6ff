#include "components/advantmr.h"

#include <exception>

#include "win/error.h"

namespace kv {

void TimerPort::Deliver() { timer_->Tick(); }

TAdvancedTimer::TAdvancedTimer(TComponent* owner, std::unique_ptr<TimerPort> port)
    : TComponent(owner), port_(std::move(port)) {
    port_->timer_ = this;
}

TAdvancedTimer::~TAdvancedTimer() {
    *alive_ = false;
    enabled_ = false;
    port_->Disarm();
}

void TAdvancedTimer::RestartTimer() {
    port_->Disarm();
    if (interval_ != 0 && enabled_ && !port_->Arm(interval_)) throw Error("Not enough timers available");
}

void TAdvancedTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    RestartTimer();
    // The handler may delete the timer; the reset below must not touch it then.
    const std::shared_ptr<bool> alive = alive_;
    if (value) {
        if (OnActivate) OnActivate(interval_);
    } else {
        if (OnDeactivate) OnDeactivate(intervals_);
    }
    if (*alive) intervals_ = 0;
}

void TAdvancedTimer::SetInterval(std::uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    RestartTimer();
}

void TAdvancedTimer::SetBuddy(const std::string& value) {
    if (value == buddy_) return;
    buddy_ = value;
    RestartTimer();
}

void TAdvancedTimer::SetMessage(const std::string& value) {
    if (value == message_) return;
    message_ = value;
    RestartTimer();
}

void TAdvancedTimer::SetTajmeri(std::int32_t value) {
    if (value == tajmeri_) return;
    tajmeri_ = value;
    RestartTimer();
}

// A handler's error switches the timer off; once the tick is counted it goes
// on to the caller's report, so that no failure of a tick passes unseen.
void TAdvancedTimer::Tick() {
    // Every handler below may delete the timer; after each one, stop at once if it did.
    const std::shared_ptr<bool> alive = alive_;
    std::exception_ptr failed;
    if (OnTimer) {
        try {
            // A copy: the handler may replace OnTimer while it runs.
            const TTimerEvent handler = OnTimer.Get();
            handler(this);
        } catch (...) {
            failed = std::current_exception();
        }
        if (!*alive) {
            if (failed) std::rethrow_exception(failed);
            return;
        }
    }
    if (failed) SetEnabled(false);
    if (*alive) Count(alive);
    if (failed) std::rethrow_exception(failed);
}

void TAdvancedTimer::Count(const std::shared_ptr<bool>& alive) {
    ++intervals_;
    if (intervals_ != static_cast<std::uint32_t>(maxIntervals_)) return;
    if (OnMaxIntervals) {
        OnMaxIntervals(intervals_);
        if (!*alive) return;
    }
    if (stopAtMax_) SetEnabled(false);
}

}  // namespace kv
