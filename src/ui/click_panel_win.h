#pragma once
// TTranPanel: an invisible rectangle that takes the pointer, laid over part of
// a picture so that a click there means something of its own. It draws
// nothing but an optional one-pixel frame in the button-shadow colour.
// WS_EX_TRANSPARENT keeps it out of a WS_CLIPCHILDREN parent's clipping, so
// the parent paints what lies beneath it.
//
//   auto* panel = new TTranPanel(owner);
//   panel->Create(parentHwnd, 16, 12, 137, 30);
//   panel->OnClick = [this](TComponent* sender) { ... };
#include <windows.h>

#include <optional>

#include "ui/control_events.h"
#include "ui/skinned_control_win.h"

namespace kv::ui {

class TTranPanel : public TSkinnedControl {
public:
    static constexpr int kDefaultWidth = 185;
    static constexpr int kDefaultHeight = 41;

    explicit TTranPanel(TComponent* owner);

    bool Create(HWND parent, int left, int top, int width = kDefaultWidth, int height = kDefaultHeight, int id = 0);

    void SetBorder(bool border);
    [[nodiscard]] bool Border() const noexcept { return border_; }

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void PaintFace(HDC dc) override;
    [[nodiscard]] AccessibleFace Face() const override;

private:
    void MouseButton(TMouseButton button, bool down, bool doubleClick, WPARAM wp, LPARAM lp);
    std::optional<LRESULT> OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp);

    bool border_ = false;
    bool clickBegun_ = false;
};

}  // namespace kv::ui
