#include "ui/region_button.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kv::ui::SelectPicture;
using kv::ui::TPicPresence;
using kv::ui::TPicSlot;
using namespace kv::ui;  // psIdle ...

constexpr TPicPresence kAll{true, true, true, true};

TEST(EzRgnBtnPicture, FollowsPointerAndPress) {
    EXPECT_EQ(SelectPicture(false, false, true, kAll), psIdle);
    EXPECT_EQ(SelectPicture(false, true, true, kAll), psUp);
    EXPECT_EQ(SelectPicture(true, true, true, kAll), psDown);
    // Held down but the pointer went out: drawn as idle until it comes back.
    EXPECT_EQ(SelectPicture(true, false, true, kAll), psIdle);
}

TEST(EzRgnBtnPicture, MissingPictureFallsBackToTheNormalOne) {
    const TPicPresence noDown{true, true, false, true};
    const TPicPresence noUp{true, false, true, true};
    EXPECT_EQ(SelectPicture(true, true, true, noDown), psIdle);  // not the hover picture
    EXPECT_EQ(SelectPicture(false, true, true, noUp), psIdle);
    EXPECT_EQ(SelectPicture(true, true, true, noUp), psDown);
    // Nothing at all: the (empty) idle picture, which draws nothing.
    EXPECT_EQ(SelectPicture(true, true, true, TPicPresence{}), psIdle);
}

TEST(EzRgnBtnPicture, DisabledNeverShowsHoverOrPressed) {
    const TPicPresence noDsbld{true, true, true, false};
    for (bool pressed : {false, true}) {
        for (bool inside : {false, true}) {
            EXPECT_EQ(SelectPicture(pressed, inside, false, kAll), psDsbld) << pressed << inside;
            EXPECT_EQ(SelectPicture(pressed, inside, false, noDsbld), psIdle) << pressed << inside;
        }
    }
}

// Records what the state machine asks for, with the state it is in at the time.
class Recorder : public kv::ui::IRgnBtnHost {
public:
    kv::ui::TRgnBtnState state{*this};
    std::vector<std::string> log;
    int clicks = 0;
    std::vector<TPicSlot> clickPictures;  // the picture shown while each click ran

    void Repaint() override { log.push_back("paint:" + std::to_string(state.Picture(kAll))); }
    void RaiseClick() override {
        ++clicks;
        clickPictures.push_back(state.Picture(kAll));
        log.push_back("click");
    }
    void RaiseMouseEnter() override { log.push_back("enter"); }
    void RaiseMouseLeave() override { log.push_back("leave"); }
    void RaiseMouseDown() override { log.push_back("down"); }
    void RaiseMouseUp() override { log.push_back("up"); }
    void CapturePointer(bool capture) override { log.push_back(capture ? "capture" : "release"); }
    void RunRepeatTimer(bool run) override { log.push_back(run ? "timer:on" : "timer:off"); }

    std::vector<std::string> Take() { return std::exchange(log, {}); }
};

using Log = std::vector<std::string>;
const std::string kIdle = "paint:" + std::to_string(psIdle);
const std::string kUp = "paint:" + std::to_string(psUp);
const std::string kDown = "paint:" + std::to_string(psDown);
const std::string kDsbld = "paint:" + std::to_string(psDsbld);

TEST(EzRgnBtnEvents, ClickRunsWhilePressedPictureShows) {
    Recorder r;
    r.state.PointerEntered();
    EXPECT_EQ(r.Take(), (Log{kUp, "enter"}));
    r.state.ButtonDown();
    EXPECT_EQ(r.Take(), (Log{"capture", kDown, "down"}));
    r.state.ButtonUp(true);
    EXPECT_EQ(r.Take(), (Log{"release", "click", kUp, "up"}));
    EXPECT_EQ(r.clickPictures, std::vector<TPicSlot>{psDown});
    EXPECT_FALSE(r.state.Pressed());
}

TEST(EzRgnBtnEvents, EnteringTwiceIsOneEnter) {
    Recorder r;
    r.state.PointerEntered();
    r.Take();
    r.state.PointerEntered();
    EXPECT_TRUE(r.Take().empty());
    r.state.PointerLeft();
    EXPECT_EQ(r.Take(), (Log{kIdle, "leave"}));
}

TEST(EzRgnBtnEvents, ReleaseOutsideOrPressOutsideGivesNoClick) {
    Recorder r;
    // Press, move out, release out there.
    r.state.PointerEntered();
    r.state.ButtonDown();
    r.state.PointerLeft();
    EXPECT_EQ(r.state.Picture(kAll), psIdle);
    r.state.ButtonUp(false);
    EXPECT_EQ(r.clicks, 0);
    EXPECT_EQ(r.state.Picture(kAll), psIdle);
    // A release over the button after a press elsewhere: no click begun here.
    r.state.PointerEntered();
    r.state.ButtonUp(true);
    EXPECT_EQ(r.clicks, 0);
}

TEST(EzRgnBtnEvents, MovingOutAndBackBeforeReleaseStillClicks) {
    Recorder r;
    r.state.PointerEntered();
    r.state.ButtonDown();
    r.state.PointerLeft();
    r.state.PointerEntered();
    EXPECT_EQ(r.state.Picture(kAll), psDown);
    r.state.ButtonUp(true);
    EXPECT_EQ(r.clicks, 1);
}

TEST(EzRgnBtnEvents, DoubleClickGivesOneClick) {
    Recorder r;
    r.state.PointerEntered();
    r.state.ButtonDown();
    r.state.ButtonUp(true);
    r.Take();
    r.state.DoubleClick();
    EXPECT_TRUE(r.Take().empty());  // no pressed state, no picture change, no event
    EXPECT_FALSE(r.state.Pressed());
    r.state.ButtonUp(true);
    EXPECT_EQ(r.Take(), (Log{"release", kUp, "up"}));
    EXPECT_EQ(r.clicks, 1);
}

TEST(EzRgnBtnEvents, DisabledDeliversPointerEventsButNoClick) {
    Recorder r;
    r.state.SetEnabled(false);
    EXPECT_EQ(r.Take(), (Log{kDsbld}));
    r.state.SetEnabled(false);
    EXPECT_TRUE(r.Take().empty());  // unchanged: no repaint
    r.state.PointerEntered();
    r.state.ButtonDown();
    r.state.ButtonUp(true);
    r.state.Click();
    EXPECT_EQ(r.clicks, 0);
    EXPECT_EQ(r.Take(), (Log{kDsbld, "enter", "capture", kDsbld, "down", "release", kDsbld, "up"}));
    r.state.SetEnabled(true);
    r.state.Click();
    EXPECT_EQ(r.clicks, 1);
}

TEST(EzRgnBtnEvents, AutoRepeatRunsOnlyWhileHeldOverTheButton) {
    Recorder r;
    r.state.SetAutoRepeat(true);
    r.state.PointerEntered();
    EXPECT_FALSE(r.state.Repeating());
    r.Take();
    r.state.ButtonDown();
    EXPECT_EQ(r.Take(), (Log{"capture", kDown, "down", "timer:on"}));
    r.state.RepeatTick();
    r.state.RepeatTick();
    EXPECT_EQ(r.clicks, 2);
    r.state.PointerLeft();
    EXPECT_EQ(r.Take().back(), "timer:off");
    r.state.RepeatTick();  // a tick already queued when the timer stopped
    EXPECT_EQ(r.clicks, 2);
    r.state.PointerEntered();
    EXPECT_EQ(r.Take().back(), "timer:on");  // a new period
    r.state.ButtonUp(true);
    EXPECT_EQ(r.Take(), (Log{"release", "click", kUp, "up", "timer:off"}));
    EXPECT_EQ(r.clicks, 3);  // the release adds its own click
}

TEST(EzRgnBtnEvents, AutoRepeatChangeWaitsForTheNextEvent) {
    Recorder r;
    r.state.PointerEntered();
    r.state.ButtonDown();
    r.Take();
    r.state.SetAutoRepeat(true);
    EXPECT_TRUE(r.Take().empty());
    EXPECT_FALSE(r.state.Repeating());
    r.state.ButtonUp(true);
    r.state.ButtonDown();
    EXPECT_EQ(r.Take().back(), "timer:on");
    r.state.SetAutoRepeat(false);
    r.state.PointerLeft();
    EXPECT_EQ(r.Take().back(), "timer:off");
}

TEST(EzRgnBtnEvents, LostCaptureEndsThePressWithoutClick) {
    Recorder r;
    r.state.SetAutoRepeat(true);
    r.state.PointerEntered();
    r.state.ButtonDown();
    r.Take();
    r.state.CaptureLost();
    EXPECT_EQ(r.Take(), (Log{kUp, "timer:off"}));
    EXPECT_FALSE(r.state.Pressed());
    r.state.ButtonUp(true);  // a stray release afterwards
    EXPECT_EQ(r.clicks, 0);
    r.state.CaptureLost();  // nothing held: nothing to end
    EXPECT_EQ(r.Take(), (Log{"release", kUp, "up"}));
}

// The keyboard presses as the pointer does: down, click while the pressed
// picture shows, up; the pointer being elsewhere does not matter.
TEST(EzRgnBtnEvents, AKeyPressIsAClickInTheSameOrder) {
    Recorder r;
    r.state.KeyDown();
    EXPECT_EQ(r.Take(), (Log{kDown, "down"}));
    r.state.KeyDown();  // the key's own repeat
    EXPECT_TRUE(r.Take().empty());
    r.state.KeyUp();
    EXPECT_EQ(r.Take(), (Log{"click", kIdle, "up"}));
    EXPECT_EQ(r.clickPictures, std::vector<TPicSlot>{psDown});
    r.state.KeyUp();  // a release without a press
    EXPECT_TRUE(r.Take().empty());
    EXPECT_EQ(r.clicks, 1);
}

TEST(EzRgnBtnEvents, AKeyPressLostOrDisabledClicksNothing) {
    Recorder r;
    r.state.KeyDown();
    r.state.KeyCancel();  // the focus moved on while Space was held
    r.state.KeyUp();
    EXPECT_EQ(r.Take(), (Log{kDown, "down", kIdle}));
    EXPECT_FALSE(r.state.Pressed());

    r.state.SetEnabled(false);
    (void)r.Take();
    r.state.KeyDown();
    r.state.KeyUp();
    EXPECT_EQ(r.clicks, 0);

    // A pointer press in progress is not pressed again, nor ended, by a key.
    r.state.SetEnabled(true);
    r.state.PointerEntered();
    r.state.ButtonDown();
    (void)r.Take();
    r.state.KeyDown();
    r.state.KeyUp();
    EXPECT_TRUE(r.Take().empty());
    EXPECT_TRUE(r.state.Pressed());
    r.state.ButtonUp(true);
    EXPECT_EQ(r.clicks, 1);
}

}  // namespace
