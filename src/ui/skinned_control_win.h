#pragma once
// What the skinned controls (the picture button, the click panel) share: they
// paint themselves whole or see-through, never erase, and show their own
// pointer over their face. Each paints in PaintFace and hands every message
// to HandleSkinMessage first.
#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "components/component.h"
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

protected:
    virtual void PaintFace(HDC dc) = 0;
    // WM_PAINT, WM_PRINTCLIENT, WM_ERASEBKGND and the pointer; nothing for any other message.
    std::optional<LRESULT> HandleSkinMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    HCURSOR cursor_;
    std::string accessibleName_;
};

}  // namespace kv::ui
