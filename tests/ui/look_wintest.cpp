// The window under high contrast and in the dark: what it paints comes from
// the system's colours alone, or from the dark palette; a change shows at
// once, and switching back restores the skin pixel for pixel.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>

#include "support/form_access.h"
#include "support/program.h"
#include "ui/dpi.h"
#include "ui/layout.h"
#include "ui/look_win.h"
#include "ui/pixmap.h"
#include "win/gdi.h"

namespace {

using kv::ui::Appearance;
using kvtest::FormAccess;
using kvtest::Program;

struct Shot {
    kv::ui::TPixmap pixels;
    int inside = 0;  // pixels within the window's rounded shape
};

// The window's face as it paints it, with each picture button over it.
Shot Capture(kv::TfrmMain& form) {
    RECT rc{};
    ::GetClientRect(form.Handle(), &rc);
    const kv::win::WindowDc screen(nullptr);
    const kv::win::UniqueBitmap bmp(::CreateCompatibleBitmap(screen.Get(), rc.right, rc.bottom));
    const kv::win::MemoryDc mem(screen.Get(), bmp.Get());
    FormAccess::PaintSkin(form, mem.Get());
    for (const char* name : {"EzRgnBtn1", "EzRgnBtn2", "EzRgnBtn3"}) {
        HWND b = form.Control(name);
        RECT r{};
        ::GetWindowRect(b, &r);
        ::MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&r), 2);
        POINT old{};
        ::SetViewportOrgEx(mem.Get(), r.left, r.top, &old);
        // Only within the button's own shape, as the screen shows it.
        kv::win::UniqueRgn shape(::CreateRectRgn(0, 0, 0, 0));
        if (::GetWindowRgn(b, shape.Get()) != ERROR) {
            ::OffsetRgn(shape.Get(), r.left, r.top);
            ::SelectClipRgn(mem.Get(), shape.Get());
        }
        ::SendMessageW(b, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.Get()), PRF_CLIENT);
        ::SelectClipRgn(mem.Get(), nullptr);
        ::SetViewportOrgEx(mem.Get(), old.x, old.y, nullptr);
    }
    Shot shot{kv::ui::TPixmap(rc.right, rc.bottom)};
    const int corner = kv::ui::Scale(kv::ui::kRoundCorner, form.Dpi());
    const kv::win::UniqueRgn round(::CreateRoundRectRgn(0, 0, rc.right, rc.bottom, corner, corner));
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; ++x) {
            const COLORREF c = ::GetPixel(mem.Get(), x, y);
            const bool in = ::PtInRegion(round.Get(), x, y) && y < rc.bottom - 2;
            shot.pixels.Set(x, y, in ? kv::ui::Rgb(GetRValue(c), GetGValue(c), GetBValue(c)) : 0xFF000000U);
            shot.inside += in ? 1 : 0;
        }
    return shot;
}

int Count(const Shot& shot, auto&& pick) {
    int n = 0;
    for (const auto c : shot.pixels.pixels) n += c != 0xFF000000U && pick(c) ? 1 : 0;
    return n;
}

double Luma(std::uint32_t c) {
    return (0.299 * ((c >> 16) & 0xFF) + 0.587 * ((c >> 8) & 0xFF) + 0.114 * (c & 0xFF)) / 255;
}

class Looks : public ::testing::Test {
protected:
    Appearance asked = Appearance::Skin;
    std::unique_ptr<Program> p;
    void SetUp() override {
        kv::FormOptions o;
        o.look = [this] { return asked; };
        p = std::make_unique<Program>(std::move(o));
    }
    void Switch(Appearance to, UINT message) {
        asked = to;
        ::SendMessageW(p->form->Handle(), message, 0, 0);
    }
};

TEST_F(Looks, HighContrastPaintsInTheSystemsColoursAloneAndSwitchesBack) {
    const Shot skin = Capture(*p->form);
    const auto face = kv::ui::SkinPalette(Appearance::Skin).face;
    EXPECT_GT(Count(skin, [&](auto c) { return c == face; }) * 2, skin.inside) << "mostly the skin's face";
    Switch(Appearance::HighContrast, WM_SYSCOLORCHANGE);
    std::set<std::uint32_t> system;
    for (const int i : {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HOTLIGHT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
                        COLOR_BTNFACE, COLOR_BTNTEXT}) {
        const COLORREF c = ::GetSysColor(i);
        system.insert(kv::ui::Rgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        system.insert(kv::ui::Rgb(GetRValue(c), GetGValue(c), GetBValue(c)) ^ 1U);  // a button's colour beside its key
    }
    const Shot high = Capture(*p->form);
    const int others = Count(high, [&](auto c) { return !system.count(c); });
    EXPECT_EQ(others, 0) << "of " << high.inside << " pixels";
    EXPECT_EQ(Count(high, [&](auto c) { return c == face; }), 0);
    // The buttons keep their shape, and the list the system's colours.
    EXPECT_EQ(ListView_GetBkColor(p->form->Control("ListView1")), ::GetSysColor(COLOR_WINDOW));
    Switch(Appearance::Skin, WM_SYSCOLORCHANGE);
    EXPECT_EQ(Capture(*p->form).pixels, skin.pixels) << "the skin again, pixel for pixel";
}

TEST_F(Looks, DarkPaintsTheDarkPaletteAndSwitchesBack) {
    const Shot skin = Capture(*p->form);
    Switch(Appearance::Dark, WM_SETTINGCHANGE);
    const Shot dark = Capture(*p->form);
    const auto& palette = kv::ui::SkinPalette(Appearance::Dark);
    const auto lightFace = kv::ui::SkinPalette(Appearance::Skin).face;
    EXPECT_EQ(Count(dark, [&](auto c) { return c == lightFace; }), 0) << "nothing of the light skin";
    EXPECT_GT(Count(dark, [&](auto c) { return c == palette.face; }) * 2, dark.inside) << "mostly the dark face";
    EXPECT_GT(Count(dark, [&](auto c) { return Luma(c) < 0.25; }) * 10, dark.inside * 9) << "dark all over";
    HWND list = p->form->Control("ListView1");
    EXPECT_EQ(ListView_GetBkColor(list), kv::ui::ColorRefOf(palette.listBack));
    EXPECT_EQ(ListView_GetTextColor(list), kv::ui::ColorRefOf(palette.listText));
    Switch(Appearance::Skin, WM_SETTINGCHANGE);
    EXPECT_EQ(Capture(*p->form).pixels, skin.pixels) << "the skin again, pixel for pixel";
    EXPECT_EQ(ListView_GetBkColor(list), ::GetSysColor(COLOR_WINDOW));
}

}  // namespace
