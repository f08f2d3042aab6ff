#pragma once
// The region button's behaviour without its window: which picture shows, and
// the order in which pointer and button events change state and reach the
// program. The window class feeds it messages and carries out its requests.
#include <array>
#include <cstdint>

namespace kv::ui {

// The four pictures of a region button, in the order the image list fills
// them from: index 0 idle, 1 hover, 2 pressed, 3 disabled.
enum TPicSlot : std::uint8_t { psIdle, psUp, psDown, psDsbld };
constexpr int kPicSlots = 4;

// Which of the four pictures holds an image, indexed by TPicSlot.
using TPicPresence = std::array<bool, kPicSlots>;

// The picture to draw. The result may itself be empty (only when psIdle is):
// the button then draws nothing.
[[nodiscard]] TPicSlot SelectPicture(bool pressed, bool mouseInside, bool enabled, const TPicPresence& has) noexcept;

// What the state machine asks of its window, in the order it asks.
class IRgnBtnHost {
public:
    virtual void Repaint() = 0;
    virtual void RaiseClick() = 0;  // only asked for while enabled
    virtual void RaiseMouseEnter() = 0;
    virtual void RaiseMouseLeave() = 0;
    virtual void RaiseMouseDown() = 0;
    virtual void RaiseMouseUp() = 0;
    virtual void CapturePointer(bool capture) = 0;
    virtual void RunRepeatTimer(bool run) = 0;

protected:
    ~IRgnBtnHost() = default;
};

class TRgnBtnState {
public:
    explicit TRgnBtnState(IRgnBtnHost& host) noexcept : host_(host) {}

    [[nodiscard]] bool Pressed() const noexcept { return pressed_; }
    [[nodiscard]] bool MouseInside() const noexcept { return mouseInside_; }
    [[nodiscard]] bool Enabled() const noexcept { return enabled_; }
    [[nodiscard]] bool AutoRepeat() const noexcept { return autoRepeat_; }
    [[nodiscard]] bool Repeating() const noexcept { return repeating_; }
    [[nodiscard]] bool KeyHeld() const noexcept { return keyHeld_; }
    [[nodiscard]] TPicSlot Picture(const TPicPresence& has) const noexcept {
        // A key press shows the pressed picture wherever the pointer is.
        return SelectPicture(pressed_, mouseInside_ || keyHeld_, enabled_, has);
    }

    void PointerEntered();
    void PointerLeft();
    void ButtonDown();
    // insideRect: the release point lies in the client rectangle (not the cut shape).
    void ButtonUp(bool insideRect);
    // A quick second press is discarded whole: no state change, no event.
    void DoubleClick() noexcept {}
    // Someone else took the pointer while the button was held (a dialog, a
    // task switch): no release will come, so the press ends here, without a click.
    void CaptureLost();
    void RepeatTick();
    // The keyboard's press (Space down, or Enter) and release (Space up): the
    // same events as a pointer click, in the same order: down, click, up.
    // Ignored while the pointer holds the button, and a key's own repeat
    // presses nothing more.
    void KeyDown();
    void KeyUp();
    // The focus went elsewhere while the key was held: no click.
    void KeyCancel();
    // The click operation: reaches the program only while enabled.
    void Click();

    void SetEnabled(bool enabled);
    // Takes effect at the next pointer or button event.
    void SetAutoRepeat(bool on) noexcept { autoRepeat_ = on; }

private:
    void UpdateAutoRepeat();

    IRgnBtnHost& host_;
    bool pressed_ = false;
    bool mouseInside_ = false;
    bool enabled_ = true;
    bool autoRepeat_ = false;
    bool clickBegun_ = false;
    bool repeating_ = false;
    bool keyHeld_ = false;
};

}  // namespace kv::ui
