#pragma once
// What the main window paints itself rather than leaving to child windows:
// the layout's pictures and labels at the window's DPI, the fonts of the
// window's text, the window's rounded shape, and the pointer over the painted
// parts (hover, press and release, the hand over a link). The window passes
// its paint and pointer messages here and hears back which layout control
// was clicked, entered, left or pressed.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/layout.h"
#include "win/gdi.h"
#include "win/handle.h"

namespace kvtest {
struct FormAccess;
}

namespace kv::ui {

class FormSkin {
public:
    struct Graphic {
        const ControlDef* def;
        RECT rect;
    };
    // What the pointer did to a painted control.
    struct Events {
        std::function<void(const ControlDef&)> click, enter, leave;
        std::function<void(const ControlDef&, int button, int x, int y)> down;
    };

    FormSkin(HWND window, Events events);

    // Fonts, pictures and labels at this DPI; again after each change of DPI.
    void Build(int dpi);
    [[nodiscard]] int Dpi() const noexcept { return dpi_; }
    [[nodiscard]] int ArtScale() const noexcept;
    // Where a layout control goes at the window's DPI.
    [[nodiscard]] RECT Placed(const ControlDef& def) const;
    [[nodiscard]] HFONT Font(bool bold) const noexcept { return bold ? bold_.Get() : plain_.Get(); }
    [[nodiscard]] HFONT ListUnderlineFont() const noexcept { return listUnderline_.Get(); }
    void ApplyShape() const;

    void Paint(HDC dc) const;
    // A link label under the pointer is drawn underlined.
    void Underline(std::string_view label);
    [[nodiscard]] bool Underlined(std::string_view label) const { return underlined_ == label; }

    // The window's pointer messages.
    void ButtonDown(UINT msg, POINT pt);
    void LeftButtonUp(POINT pt);
    void MouseMove(POINT pt);
    void MouseLeft();
    bool SetCursor() const;  // true when the pointer is the hand over a link

    // The link labels, in layout order, as a screen reader finds them.
    [[nodiscard]] std::vector<const Graphic*> LinkLabels() const;
    [[nodiscard]] RECT RectOf(std::string_view name) const;

private:
    friend struct kvtest::FormAccess;  // the window's tests paint their own pictures
    void AddGraphic(HDC dc, const ControlDef& def);
    void Invalidate(std::string_view name) const;
    [[nodiscard]] const Graphic* At(POINT pt) const;
    void PointerOver(const Graphic* g);

    HWND window_;
    Events events_;
    int dpi_ = 96;
    win::UniqueFont plain_, bold_, link_, listUnderline_;
    std::vector<win::UniqueFont> retired_;  // the last DPI's, until the controls have the new ones
    std::vector<Graphic> graphics_;
    std::map<std::string, win::UniqueBitmap, std::less<>> pictures_;
    std::string underlined_;
    const ControlDef* pointerOver_ = nullptr;
    bool trackingLeave_ = false;
    const Graphic* pressed_ = nullptr;  // where the left button went down
};

}  // namespace kv::ui
