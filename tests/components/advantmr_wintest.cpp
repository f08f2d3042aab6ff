// The timer on real Windows timers: ticks arrive through this thread's message loop.
#include "components/advantmr.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "win/window.h"

namespace {

using kv::TAdvancedTimer;

// Runs the message loop until `done` holds or `ms` have passed; false on timeout.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    while (!done()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG m;
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&m);
            ::DispatchMessageW(&m);
        }
    }
    return true;
}
void Pump(DWORD ms) {
    (void)PumpUntil([] { return false; }, ms);
}

std::vector<std::string> g_reported;
void Record(const std::string& message) { g_reported.push_back(message); }

class WinTimerTest : public ::testing::Test {
protected:
    WinTimerTest() {
        g_reported.clear();
        kv::win::SetExceptionSink(&Record);
    }
    ~WinTimerTest() override { kv::win::SetExceptionSink(nullptr); }
    kv::TComponent form{nullptr};
};

TEST_F(WinTimerTest, TicksWithItsPayloadAndCountsThem) {
    auto* t = new TAdvancedTimer(&form);
    std::vector<std::string> seen;
    t->SetBuddy(R"(C:\Out\Пісня.mp3)");
    t->SetMessage("4194304");
    t->SetInterval(50);
    t->SetEnabled(true);
    t->OnTimer = [&](TAdvancedTimer* sender) { seen.push_back(sender->Buddy() + "|" + sender->Message()); };
    ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 4; }, 5000));
    EXPECT_EQ(t->Intervals(), 4u);
    EXPECT_EQ(seen.front(), R"(C:\Out\Пісня.mp3|4194304)");
}

TEST_F(WinTimerTest, StopsItselfAtTheLimit) {
    auto* t = new TAdvancedTimer(&form);
    int ticks = 0;
    std::vector<std::string> events;
    t->SetInterval(30);
    t->SetMaxIntervals(3);
    t->OnMaxIntervals = [&](std::uint32_t n) { events.push_back("max " + std::to_string(n)); };
    t->OnDeactivate = [&](std::uint32_t n) { events.push_back("deactivate " + std::to_string(n)); };
    t->OnTimer = [&](TAdvancedTimer*) { ++ticks; };
    ASSERT_TRUE(PumpUntil([&] { return !t->Enabled(); }, 5000));
    Pump(200);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(events, (std::vector<std::string>{"max 3", "deactivate 3"}));
}

TEST_F(WinTimerTest, SwitchingOffSilencesAndSwitchingOnResumes) {
    auto* t = new TAdvancedTimer(&form);
    int ticks = 0;
    std::uint32_t activatedWith = 0;
    t->OnActivate = [&](std::uint32_t interval) { activatedWith = interval; };
    t->SetInterval(30);
    t->OnTimer = [&](TAdvancedTimer*) { ++ticks; };
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 2; }, 5000));
    t->SetEnabled(false);
    const int stoppedAt = ticks;
    Pump(250);
    EXPECT_EQ(ticks, stoppedAt);
    t->SetEnabled(true);
    EXPECT_EQ(activatedWith, 30u);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= stoppedAt + 2; }, 5000));
}

TEST_F(WinTimerTest, HandlerMayStartTheNextTimerAndDeleteItsOwn) {
    auto first = std::make_shared<int>(0);
    auto second = std::make_shared<int>(0);
    auto* t = new TAdvancedTimer(&form);
    t->SetInterval(40);
    t->OnTimer = [this, first, second](TAdvancedTimer* self) {
        ++*first;
        auto* next = new TAdvancedTimer(&form);
        next->SetInterval(40);
        next->OnTimer = [second](TAdvancedTimer*) { ++*second; };
        delete self;
    };
    ASSERT_TRUE(PumpUntil([&] { return *second >= 3; }, 5000));
    EXPECT_EQ(*first, 1);
    EXPECT_EQ(form.Components().size(), 1u);
    EXPECT_TRUE(g_reported.empty());
}

TEST_F(WinTimerTest, HandlerFailureSwitchesOffAndIsReported) {
    auto* t = new TAdvancedTimer(&form);
    int ticks = 0;
    bool deactivated = false;
    t->OnDeactivate = [&](std::uint32_t) { deactivated = true; };
    t->SetInterval(30);
    t->OnTimer = [&](TAdvancedTimer*) {
        ++ticks;
        throw std::runtime_error("size unknown");
    };
    ASSERT_TRUE(PumpUntil([&] { return deactivated; }, 5000));
    Pump(200);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(t->Enabled());
    ASSERT_EQ(g_reported.size(), 1u) << "a failed tick must not pass unseen";
    EXPECT_EQ(g_reported.front(), "size unknown");
}

TEST_F(WinTimerTest, FailureOfAnotherEventOfTheTickIsReported) {
    auto* t = new TAdvancedTimer(&form);
    t->SetInterval(30);
    t->SetMaxIntervals(1);
    t->OnMaxIntervals = [](std::uint32_t) { throw std::runtime_error("limit handler failed"); };
    ASSERT_TRUE(PumpUntil([] { return !g_reported.empty(); }, 5000));
    EXPECT_EQ(g_reported.front(), "limit handler failed");
}

TEST_F(WinTimerTest, TimersCoexistAndDieWithTheirOwner) {
    auto owner = std::make_unique<kv::TComponent>(nullptr);
    auto fast = std::make_shared<int>(0);
    auto slow = std::make_shared<int>(0);
    auto* a = new TAdvancedTimer(owner.get());
    a->SetInterval(25);
    a->OnTimer = [fast](TAdvancedTimer*) { ++*fast; };
    auto* b = new TAdvancedTimer(owner.get());
    b->SetInterval(120);
    b->OnTimer = [slow](TAdvancedTimer*) { ++*slow; };
    ASSERT_TRUE(PumpUntil([&] { return *slow >= 2; }, 5000));
    EXPECT_GT(*fast, *slow);
    owner.reset();
    const int fastAt = *fast, slowAt = *slow;
    Pump(300);
    EXPECT_EQ(*fast, fastAt);
    EXPECT_EQ(*slow, slowAt);
}

}  // namespace
