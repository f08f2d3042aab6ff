#pragma once
// Event types of the skinned controls. Like every component event they are
// optional: a control calls one only when it is set.
#include <cstdint>
#include <functional>

#include "components/component.h"

namespace kv::ui {

// A window message passed whole to the program, as it reached the control.
struct TMessage {
    unsigned Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
};

// The region button's pointer events carry the message that raised them: the
// press or release (key flags and position), or the move or leave notice by
// which the pointer entered or left.
using TOnMouseEvent = std::function<void(const TMessage& msg)>;

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

// keys: the MK_ flags of the message; x, y in the control's client coordinates.
using TMouseEvent = std::function<void(TComponent* sender, TMouseButton button, unsigned keys, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, unsigned keys, int x, int y)>;

}  // namespace kv::ui
