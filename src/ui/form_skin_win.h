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
#include "ui/look.h"
#include "win/gdi.h"
#include "win/handle.h"

namespace kvtest {
struct FormAccess;
}

namespace kv::ui {

// The language's face (or a size of its own, in pixels at 96 dpi) at a DPI.
win::UniqueFont MakeUiFont(int dpi, bool bold, bool underline = false, int pixels = 0,
                           Appearance look = Appearance::Skin);

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

    // Fonts, pictures and labels at this DPI; again after each change of DPI
    // or look.
    void Build(int dpi);
    void SetLook(Appearance look) noexcept { look_ = look; }
    [[nodiscard]] Appearance LookShown() const noexcept { return look_; }
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

    // What the language's texts take of the layout at this DPI (form_fit_win.cpp).
    struct Fit {
        int buttonWidth = 0;                            // the three push buttons'
        std::vector<int> columns;                       // the list's columns
        std::map<std::string, int, std::less<>> lefts;  // link labels moved along their row
        RECT bannerTitle{}, bannerLine{};               // the banner's words, as drawn
        int bannerTitlePixels = 0;
        bool bannerWraps = false;
    };
    [[nodiscard]] const Fit& Fitted() const noexcept { return fit_; }
    [[nodiscard]] int ColumnWidth(int column) const;

private:
    static constexpr int kButtonsRight = 487, kButtonWidth = 103, kEditGap = 8;
    friend struct kvtest::FormAccess;  // the window's tests paint their own pictures
    void AddGraphic(HDC dc, const ControlDef& def);
    void FitTexts(HDC dc);
    void FitButtons(HDC dc);
    void FitLinks(HDC dc);
    void FitColumns(HDC dc);
    void FitBanner(HDC dc);
    void FitLabels(HDC dc);
    [[nodiscard]] HFONT LabelFont(std::string_view name) const;
    void PaintBanner(HDC dc, const RECT& banner) const;
    void PaintPlain(HDC dc, const Graphic& picture) const;
    void Invalidate(std::string_view name) const;
    [[nodiscard]] const Graphic* At(POINT pt) const;
    void PointerOver(const Graphic* g);

    HWND window_;
    Events events_;
    int dpi_ = 96;
    Appearance look_ = Appearance::Skin;
    win::UniqueFont plain_, bold_, link_, listUnderline_, bannerTitle_, bannerLine_;
    Fit fit_;
    std::map<std::string, win::UniqueFont, std::less<>> labelFonts_;  // smaller, for a caption past the rim
    std::vector<win::UniqueFont> retired_;  // the last DPI's, until the controls have the new ones
    std::vector<Graphic> graphics_;
    std::map<std::string, win::UniqueBitmap, std::less<>> pictures_;
    std::string underlined_;
    const ControlDef* pointerOver_ = nullptr;
    bool trackingLeave_ = false;
    const Graphic* pressed_ = nullptr;  // where the left button went down
};

}  // namespace kv::ui
