#pragma once
// What the skinned controls (the picture button, the click panel) share: they
// paint themselves whole or see-through, never erase, and show their own
// pointer over their face; a click, of the pointer, the keyboard or a screen
// reader's default action, raises OnClick. Each paints in PaintFace, tells a
// screen reader what it is in Face, and hands every message to
// HandleSkinMessage first.
#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "components/component.h"
#include "ui/accessible_win.h"
#include "ui/control_events.h"
#include "win/window.h"

namespace kv::ui {

class TSkinnedControl : public TComponent, public win::Window {
public:
    explicit TSkinnedControl(TComponent* owner) : TComponent(owner), cursor_(::LoadCursorW(nullptr, IDC_HAND)) {}

    // The pointer shape over the control: the hand unless set otherwise (not owned).
    void SetCursor(HCURSOR cursor) noexcept { cursor_ = cursor; }
    // What a screen reader calls the control where it has no caption.
    void SetAccessibleName(std::string utf8) { accessibleName_ = std::move(utf8); }
    [[nodiscard]] const std::string& AccessibleName() const noexcept { return accessibleName_; }
    // Asks for a repaint at the next WM_PAINT.
    void Invalidate() const {
        if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
    }

    TNotifyEvent OnClick;
    TMouseMoveEvent OnMouseMove;

protected:
    virtual void PaintFace(HDC dc) = 0;
    // The name, role and action a screen reader is told; the action is a click.
    [[nodiscard]] virtual AccessibleFace Face() const = 0;
    // The screen reader's default action: a click, unless the control holds it back.
    virtual void AccessibleClick() { RaiseClick(); }
    // WM_PAINT, WM_PRINTCLIENT, WM_ERASEBKGND, the pointer and the screen
    // reader's questions and action; nothing for any other message.
    std::optional<LRESULT> HandleSkinMessage(UINT msg, WPARAM wp, LPARAM lp);

    // Each runs its event when set; a handler's error goes to the error
    // report, and the control finishes the step it was in.
    void RaiseClick();
    void RaiseMouseMove(unsigned keys, int x, int y);

private:
    HCURSOR cursor_;
    std::string accessibleName_;
};

}  // namespace kv::ui
