#pragma once
// TAdvancedTimer: a non-visual interval timer that counts its ticks, can stop
// itself at a limit, reports switching on and off, and carries payload values
// that a tick handler reads back from the timer it receives.
//
// The rules live here and build everywhere; the platform timer sits behind
// TimerPort. On Windows the one-argument constructor uses a hidden message
// window with SetTimer, so ticks arrive through the UI thread's message loop.
#include "components/component.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace kv {

class TAdvancedTimer;

// One re-armable periodic timer of the UI event loop. Arm always begins a full
// interval anew; Disarm may be called when nothing runs.
class TimerPort {
public:
    TimerPort() = default;
    TimerPort(const TimerPort&) = delete;
    TimerPort& operator=(const TimerPort&) = delete;
    virtual ~TimerPort() = default;

    // False when the platform refuses the timer.
    [[nodiscard]] virtual bool Arm(std::uint32_t milliseconds) = 0;
    virtual void Disarm() noexcept = 0;

protected:
    // Runs one tick of the timer this port serves. The tick handler may destroy
    // the timer and with it this port: touch no member after the call.
    void Deliver();

private:
    friend class TAdvancedTimer;
    TAdvancedTimer* timer_ = nullptr;
};

// The number events of the timer carry no sender, only one count.
using TTimerActivateEvent = std::function<void(std::uint32_t interval)>;
using TTimerDeactivateEvent = std::function<void(std::uint32_t intervals)>;
using TTimerMaxIntervals = std::function<void(std::uint32_t intervals)>;
// Receives the timer itself, so one handler can serve several timers.
// A TNotifyEvent (TComponent* sender) converts to it.
using TTimerEvent = std::function<void(TAdvancedTimer* sender)>;

class TAdvancedTimer : public TComponent {
public:
    // OnTimer is assigned like a plain member, but assigning it restarts the
    // countdown, also when the same handler is set again.
    class TimerEventProperty {
    public:
        TimerEventProperty(const TimerEventProperty&) = delete;
        template <typename F>
        requires std::constructible_from<TTimerEvent, F> TimerEventProperty& operator=(F&& handler) {
            fn_ = std::forward<F>(handler);
            owner_.RestartTimer();
            return *this;
        }
        TimerEventProperty& operator=(const TimerEventProperty&) = delete;
        explicit operator bool() const noexcept { return static_cast<bool>(fn_); }
        [[nodiscard]] const TTimerEvent& Get() const noexcept { return fn_; }

    private:
        friend class TAdvancedTimer;
        explicit TimerEventProperty(TAdvancedTimer& owner) : owner_(owner) {}
        TAdvancedTimer& owner_;
        TTimerEvent fn_;
    };

#ifdef _WIN32
    // Ticks through a hidden message window of the calling (UI) thread.
    explicit TAdvancedTimer(TComponent* owner);  // on a message-only window (Windows)
#endif
    // Ticks through the given port; the timer owns it.
    TAdvancedTimer(TComponent* owner, std::unique_ptr<TimerPort> port);
    ~TAdvancedTimer() override;

    // Switching on or off raises OnActivate(Interval) or OnDeactivate(Intervals)
    // and resets the count; writing the current value does nothing.
    [[nodiscard]] bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);

    // Milliseconds; 0 keeps the timer silent while it stays enabled.
    [[nodiscard]] std::uint32_t Interval() const noexcept { return interval_; }
    void SetInterval(std::uint32_t value);

    // Ticks since Enabled last changed; wraps at 2^32.
    [[nodiscard]] std::uint32_t Intervals() const noexcept { return intervals_; }

    // Payloads. Writing a different value restarts the countdown; writing an
    // equal one (exact, case-sensitive) does nothing.
    [[nodiscard]] const std::string& Buddy() const noexcept { return buddy_; }
    void SetBuddy(const std::string& value);
    // UTF-8 like every text of the program; equal UTF-8 means equal UTF-16.
    [[nodiscard]] const std::string& Message() const noexcept { return message_; }
    void SetMessage(const std::string& value);
    [[nodiscard]] std::int32_t Tajmeri() const noexcept { return tajmeri_; }
    void SetTajmeri(std::int32_t value);

    // The limit is met by 32-bit equality with the count, never passed, so
    // 0 (the default) is met only when the count wraps.
    [[nodiscard]] std::int32_t MaxIntervals() const noexcept { return maxIntervals_; }
    void SetMaxIntervals(std::int32_t value) noexcept { maxIntervals_ = value; }
    [[nodiscard]] bool StopAtMax() const noexcept { return stopAtMax_; }
    void SetStopAtMax(bool value) noexcept { stopAtMax_ = value; }

    // The tick handler may delete the timer; that tick then does nothing more.
    // An exception from it switches the timer off; the tick still counts, then
    // the exception leaves the tick for the application's report.
    TimerEventProperty OnTimer{*this};
    TTimerActivateEvent OnActivate;
    TTimerDeactivateEvent OnDeactivate;
    TTimerMaxIntervals OnMaxIntervals;

protected:
    // Once per platform tick: the handler, the count, the limit.
    virtual void Tick();

private:
    friend class TimerPort;
    // Re-arms the full interval, or stops when off or Interval is 0.
    // Throws kv::Error "Not enough timers available" when refused.
    void RestartTimer();
    // The tick's count and its limit; stops at once when a handler deletes the timer.
    void Count(const std::shared_ptr<bool>& alive);

    std::uint32_t interval_ = 1000;
    std::unique_ptr<TimerPort> port_;
    std::uint32_t intervals_ = 0;
    std::int32_t maxIntervals_ = 0;
    bool stopAtMax_ = true;
    bool enabled_ = true;
    std::string buddy_;
    std::int32_t tajmeri_ = 0;
    std::string message_;
    // Cleared by the destructor; a handler that deleted the timer is noticed
    // through a copy held by the running tick (also by nested ticks).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The Windows port: SetTimer on a hidden message window of its own.
std::unique_ptr<TimerPort> MakeWindowTimerPort();

}  // namespace kv
