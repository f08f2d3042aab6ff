// The timer's rules, driven through a port that records arming and fires ticks on demand.
#include "components/advantmr.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "win/error.h"

namespace {

using kv::TAdvancedTimer;

// Outlives the port, so a test can look after the timer has been deleted.
struct PortLog {
    int arms = 0;
    bool armed = false;
    std::uint32_t ms = 0;
    bool refuse = false;
};

class FakePort : public kv::TimerPort {
public:
    explicit FakePort(PortLog& log) : log_(log) {}
    bool Arm(std::uint32_t ms) override {
        if (log_.refuse) return false;
        ++log_.arms;
        log_.armed = true;
        log_.ms = ms;
        return true;
    }
    void Disarm() noexcept override { log_.armed = false; }
    // Like the platform: the port may be gone when the tick returns.
    void Fire() { Deliver(); }

private:
    PortLog& log_;
};

class TimerTest : public ::testing::Test {
protected:
    TimerTest() {
        auto p = std::make_unique<FakePort>(log);
        port = p.get();
        timer = new TAdvancedTimer(nullptr, std::move(p));
        timer->OnActivate = [this](std::uint32_t n) { events.push_back("activate " + std::to_string(n)); };
        timer->OnDeactivate = [this](std::uint32_t n) { events.push_back("deactivate " + std::to_string(n)); };
        timer->OnMaxIntervals = [this](std::uint32_t n) { events.push_back("max " + std::to_string(n)); };
    }
    ~TimerTest() override { delete timer; }

    // Installs a tick handler that logs the count it sees, then clears the arm count.
    void LogTicks() {
        timer->OnTimer = [this](TAdvancedTimer* t) { events.push_back("tick " + std::to_string(t->Intervals())); };
        log.arms = 0;
    }
    void Fire(int n) {
        for (int i = 0; i < n; ++i) port->Fire();
    }

    PortLog log;
    FakePort* port = nullptr;
    TAdvancedTimer* timer = nullptr;
    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

TEST_F(TimerTest, FreshTimerStaysIdleUntilAWriteRestartsIt) {
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 1000u);
    EXPECT_EQ(timer->MaxIntervals(), 0);
    EXPECT_TRUE(timer->StopAtMax());
    EXPECT_FALSE(log.armed);

    // No tick handler needed: a new payload alone starts a full countdown.
    timer->SetBuddy("out.mp3");
    EXPECT_TRUE(log.armed);
    EXPECT_EQ(log.ms, 1000u);
}

TEST_F(TimerTest, ConversionSetupRestartsFourTimesAndRaisesNoActivation) {
    timer->SetBuddy(R"(C:\Out\song.mp3)");
    timer->SetMessage("4194304");
    timer->SetInterval(500);
    timer->SetEnabled(true);
    timer->OnTimer = [](TAdvancedTimer*) {};
    EXPECT_EQ(log.arms, 4);
    EXPECT_EQ(log.ms, 500u);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(timer->Buddy(), R"(C:\Out\song.mp3)");
    EXPECT_EQ(timer->Message(), "4194304");
}

TEST_F(TimerTest, OnlyChangedValuesRestartTheCountdown) {
    timer->SetBuddy("a");
    timer->SetMessage("m");
    timer->SetTajmeri(7);
    timer->SetInterval(250);
    log.arms = 0;

    timer->SetBuddy("a");
    timer->SetMessage("m");
    timer->SetTajmeri(7);
    timer->SetInterval(250);
    timer->SetMaxIntervals(5);
    timer->SetStopAtMax(false);
    EXPECT_EQ(log.arms, 0);

    timer->SetBuddy("A");  // case matters
    timer->SetMessage("M");
    timer->SetTajmeri(-7);
    timer->SetInterval(251);
    EXPECT_EQ(log.arms, 4);
    EXPECT_EQ(timer->Tajmeri(), -7);
}

TEST_F(TimerTest, AssigningOnTimerAlwaysRestarts) {
    kv::TComponent* seen = nullptr;
    const kv::TNotifyEvent handler = [&](kv::TComponent* sender) { seen = sender; };
    timer->OnTimer = handler;
    timer->OnTimer = handler;
    EXPECT_EQ(log.arms, 2);
    Fire(1);
    EXPECT_EQ(seen, timer);
    timer->OnTimer = nullptr;
    EXPECT_EQ(log.arms, 3);
    EXPECT_FALSE(timer->OnTimer);
}

TEST_F(TimerTest, SwitchingRaisesEventsAndResetsTheCount) {
    LogTicks();
    Fire(2);
    timer->SetEnabled(true);  // unchanged: nothing happens, the count stays
    EXPECT_EQ(timer->Intervals(), 2u);

    timer->SetEnabled(false);
    EXPECT_FALSE(log.armed);
    EXPECT_EQ(timer->Intervals(), 0u);
    timer->SetInterval(300);
    timer->SetEnabled(true);
    EXPECT_TRUE(log.armed);
    EXPECT_EQ(log.ms, 300u);
    EXPECT_EQ(events, (Events{"tick 0", "tick 1", "deactivate 2", "activate 300"}));
}

TEST_F(TimerTest, IntervalZeroKeepsAnEnabledTimerSilent) {
    timer->SetEnabled(false);
    timer->SetInterval(0);
    timer->SetEnabled(true);
    EXPECT_FALSE(log.armed);
    EXPECT_EQ(events, (Events{"deactivate 0", "activate 0"}));
    timer->SetInterval(40);
    EXPECT_TRUE(log.armed);
    EXPECT_EQ(log.ms, 40u);
}

TEST_F(TimerTest, StopsAtTheLimit) {
    LogTicks();
    timer->SetMaxIntervals(3);
    Fire(3);
    EXPECT_EQ(events, (Events{"tick 0", "tick 1", "tick 2", "max 3", "deactivate 3"}));
    EXPECT_FALSE(timer->Enabled());
    EXPECT_FALSE(log.armed);
    EXPECT_EQ(timer->Intervals(), 0u);
}

TEST_F(TimerTest, LimitWithoutStopIsRaisedOnceAndTicksGoOn) {
    timer->SetMaxIntervals(3);
    timer->SetStopAtMax(false);
    Fire(7);  // no tick handler: ticks count all the same
    EXPECT_EQ(events, (Events{"max 3"}));
    timer->SetMaxIntervals(0);  // the default: met only when the count wraps
    Fire(5);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Intervals(), 12u);
}

TEST_F(TimerTest, SwitchingOffInsideTheHandlerStillCountsThatTick) {
    Fire(2);
    timer->SetMaxIntervals(1);
    timer->OnTimer = [](TAdvancedTimer* t) { t->SetEnabled(false); };
    Fire(1);
    // The limit is met although the timer is already off, so it is not switched off twice.
    EXPECT_EQ(events, (Events{"deactivate 2", "max 1"}));
    EXPECT_EQ(timer->Intervals(), 1u);
    EXPECT_FALSE(timer->Enabled());
}

TEST_F(TimerTest, HandlerExceptionSwitchesOffTheTickCountsAndTheErrorIsReported) {
    LogTicks();
    Fire(2);
    timer->OnTimer = [](TAdvancedTimer*) { throw std::runtime_error("probe failed"); };
    try {
        Fire(1);
        ADD_FAILURE() << "the handler's error did not leave the tick";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "probe failed");
    }
    EXPECT_FALSE(timer->Enabled());
    EXPECT_FALSE(log.armed);
    EXPECT_EQ(timer->Intervals(), 1u);
    EXPECT_EQ(events, (Events{"tick 0", "tick 1", "deactivate 2"}));
}

TEST_F(TimerTest, ExceptionFromAnEventOfTheTickEndsTheTick) {
    Fire(2);
    timer->OnTimer = [](TAdvancedTimer*) { throw std::runtime_error("first"); };
    timer->OnDeactivate = [](std::uint32_t) { throw std::runtime_error("second"); };
    EXPECT_THROW(Fire(1), std::runtime_error);
    EXPECT_EQ(timer->Intervals(), 2u);  // neither reset nor counted

    timer->OnTimer = nullptr;
    timer->OnDeactivate = nullptr;
    timer->SetEnabled(true);
    timer->SetMaxIntervals(1);
    timer->OnMaxIntervals = [](std::uint32_t) { throw std::runtime_error("third"); };
    EXPECT_THROW(Fire(1), std::runtime_error);
    EXPECT_TRUE(timer->Enabled());  // StopAtMax never ran
}

TEST_F(TimerTest, RefusedTimerRaisesAndKeepsTheNewValue) {
    log.refuse = true;
    try {
        timer->SetInterval(20);
        FAIL() << "no error";
    } catch (const kv::Error& e) {
        EXPECT_STREQ(e.what(), "Not enough timers available");
    }
    EXPECT_EQ(timer->Interval(), 20u);

    timer->SetEnabled(false);
    EXPECT_THROW(timer->SetEnabled(true), kv::Error);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(events, (Events{"deactivate 0"}));  // no activation
}

// Deleting in a handler: ASan reports any touch of the freed timer.
class DeletingTimerTest : public TimerTest {
protected:
    ~DeletingTimerTest() override { timer = nullptr; }
};

TEST_F(DeletingTimerTest, DeletedInOnTimerTheTickDoesNothingMore) {
    timer->SetMaxIntervals(1);
    std::string buddySeen;
    auto capture = std::make_shared<std::string>("next job");
    timer->SetBuddy("x.mp3");
    timer->OnTimer = [this, capture, &buddySeen](TAdvancedTimer* t) {
        buddySeen = t->Buddy();
        delete t;
        // The handler's own captures must survive the deletion of the timer.
        events.push_back(*capture);
    };
    port->Fire();
    EXPECT_EQ(buddySeen, "x.mp3");
    EXPECT_EQ(events, (Events{"next job"}));
    EXPECT_FALSE(log.armed);
}

TEST_F(DeletingTimerTest, DeletedWhileHandlingItsOwnFailure) {
    timer->OnTimer = [](TAdvancedTimer* t) {
        try {
            throw std::runtime_error("size unknown");
        } catch (...) {
            delete t;
            throw;
        }
    };
    EXPECT_THROW(port->Fire(), std::runtime_error) << "the error is reported, the freed timer untouched";
    EXPECT_TRUE(events.empty());
}

TEST_F(DeletingTimerTest, DeletedInTheLimitEvent) {
    timer->SetMaxIntervals(2);
    timer->OnMaxIntervals = [this](std::uint32_t n) {
        events.push_back("max " + std::to_string(n));
        delete timer;
    };
    port->Fire();
    port->Fire();
    EXPECT_EQ(events, (Events{"max 2"}));
}

TEST_F(DeletingTimerTest, DeletedInTheDeactivationOfATick) {
    timer->SetMaxIntervals(1);
    timer->OnDeactivate = [this](std::uint32_t) { delete timer; };
    port->Fire();
    EXPECT_EQ(events, (Events{"max 1"}));
    EXPECT_FALSE(log.armed);
}

TEST(TimerOwnership, OwnerDestroysItsTimer) {
    PortLog log;
    auto* owner = new kv::TComponent(nullptr);
    auto* t = new TAdvancedTimer(owner, std::make_unique<FakePort>(log));
    t->SetInterval(100);
    EXPECT_TRUE(log.armed);
    delete owner;
    EXPECT_FALSE(log.armed);
}

}  // namespace
