#include "ui/region_button.h"

namespace kv::ui {

TPicSlot SelectPicture(bool pressed, bool mouseInside, bool enabled, const TPicPresence& has) noexcept {
    if (enabled && mouseInside) {
        if (pressed && has[psDown]) return psDown;
        if (!pressed && has[psUp]) return psUp;
    }
    if (!enabled && has[psDsbld]) return psDsbld;
    return psIdle;
}

void TRgnBtnState::PointerEntered() {
    if (mouseInside_) return;
    mouseInside_ = true;
    host_.Repaint();
    host_.RaiseMouseEnter();
    UpdateAutoRepeat();
}

void TRgnBtnState::PointerLeft() {
    mouseInside_ = false;
    host_.Repaint();
    host_.RaiseMouseLeave();
    UpdateAutoRepeat();
}

void TRgnBtnState::ButtonDown() {
    host_.CapturePointer(true);
    clickBegun_ = true;
    pressed_ = true;
    host_.Repaint();
    host_.RaiseMouseDown();
    UpdateAutoRepeat();
}

void TRgnBtnState::ButtonUp(bool insideRect) {
    host_.CapturePointer(false);
    const bool click = clickBegun_ && insideRect;
    clickBegun_ = false;
    // The click runs while the pressed picture still shows.
    if (click) Click();
    pressed_ = false;
    host_.Repaint();
    host_.RaiseMouseUp();
    UpdateAutoRepeat();
}

void TRgnBtnState::CaptureLost() {
    if (!pressed_ && !clickBegun_) return;
    clickBegun_ = false;
    pressed_ = false;
    host_.Repaint();
    UpdateAutoRepeat();
}

void TRgnBtnState::RepeatTick() {
    if (repeating_) Click();
}

void TRgnBtnState::KeyDown() {
    if (pressed_) return;
    keyHeld_ = true;
    pressed_ = true;
    host_.Repaint();
    host_.RaiseMouseDown();
}

void TRgnBtnState::KeyUp() {
    if (!keyHeld_) return;
    Click();  // while the pressed picture still shows, as a pointer click
    keyHeld_ = false;
    pressed_ = false;
    host_.Repaint();
    host_.RaiseMouseUp();
}

void TRgnBtnState::KeyCancel() {
    if (!keyHeld_) return;
    keyHeld_ = false;
    pressed_ = false;
    host_.Repaint();
}

void TRgnBtnState::Click() {
    if (enabled_) host_.RaiseClick();
}

void TRgnBtnState::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    host_.Repaint();
}

void TRgnBtnState::UpdateAutoRepeat() {
    const bool run = autoRepeat_ && mouseInside_ && pressed_;
    // Asking a running timer to run again would restart its period: ask only on a change.
    if (run == repeating_) return;
    repeating_ = run;
    host_.RunRepeatTimer(run);
}

}  // namespace kv::ui
