// The assembled skinned window, shown under the X server and read back by pixels.
#include <gtest/gtest.h>

#include "support/program.h"
#include "ui/layout.h"

namespace {

using kvtest::Program;

// The screen's pixel at a point of the window's client area.
COLORREF ScreenPixel(HWND w, int x, int y) {
    POINT pt{x, y};
    ::ClientToScreen(w, &pt);
    HDC screen = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(screen, pt.x, pt.y);
    ::ReleaseDC(nullptr, screen);
    return c;
}

bool IsBlue(COLORREF c) { return GetBValue(c) > 150 && GetRValue(c) < 100 && GetGValue(c) < 100; }

class ShownWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvello");
        p = std::make_unique<Program>();
        p->form->Show();
        ::SetWindowPos(p->form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        kvtest::PumpFor(300);
    }
    std::unique_ptr<Program> p;
};

TEST_F(ShownWindow, RoundedCornersAndButtonCornersShowWhatLiesBehind) {
    HWND w = p->form->Handle();
    const COLORREF face = RGB(220, 220, 220);
    // Inside, the skin's face; in the rounded corner, not the window at all.
    EXPECT_EQ(ScreenPixel(w, 250, 72), face);
    EXPECT_EQ(::WindowFromPoint([&] {
                  POINT pt{1, 1};
                  ::ClientToScreen(w, &pt);
                  return pt;
              }()),
              ::WindowFromPoint([&] {
                  POINT pt{-5, -5};
                  ::ClientToScreen(w, &pt);
                  return pt;
              }()));
    // The corner pixels of each button are cut away, so the skin beneath shows.
    for (const char* name : {"EzRgnBtn1", "EzRgnBtn2", "EzRgnBtn3"}) {
        const auto* def = kv::ui::FindControl(name);
        EXPECT_EQ(ScreenPixel(w, def->left, def->top), face) << name;
        HWND b = p->form->Control(name);
        POINT corner{def->left, def->top};
        ::ClientToScreen(w, &corner);
        EXPECT_NE(::WindowFromPoint(corner), b) << name << " takes the pointer in its corner";
        POINT middle{def->left + def->width / 2, def->top + def->height / 2};
        ::ClientToScreen(w, &middle);
        EXPECT_EQ(::WindowFromPoint(middle), b) << name;
    }
}

TEST_F(ShownWindow, ClickableCellsAreBlue) {
    auto& jobs = p->form->Jobs();
    jobs.Append("C:\\v\\MMMMMMMMMMMM.mp4", "MMMMMMMMMMMM", 5);
    kvtest::PumpFor(300);
    HWND list = jobs.ListView();
    RECT cell;
    ListView_GetSubItemRect(list, 0, 1, LVIR_LABEL, &cell);
    int blue = 0;
    HDC dc = ::GetDC(list);
    for (int x = cell.left; x < cell.right; ++x)
        for (int y = cell.top; y < cell.bottom; ++y) blue += IsBlue(::GetPixel(dc, x, y)) ? 1 : 0;
    ListView_GetSubItemRect(list, 0, 2, LVIR_LABEL, &cell);
    int blueInProgress = 0;
    for (int x = cell.left; x < cell.right; ++x)
        for (int y = cell.top; y < cell.bottom; ++y) blueInProgress += IsBlue(::GetPixel(dc, x, y)) ? 1 : 0;
    ::ReleaseDC(list, dc);
    EXPECT_GT(blue, 20) << "file name cell";
    EXPECT_EQ(blueInProgress, 0) << "progress cell";
}

TEST_F(ShownWindow, RightPressOnTheSkinDoesNotMoveTheWindow) {
    HWND w = p->form->Handle();
    RECT before, after;
    ::GetWindowRect(w, &before);
    ::SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(250, 300 + 100));
    ::SendMessageW(w, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(250, 300 + 100));
    ::GetWindowRect(w, &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
}

TEST_F(ShownWindow, ClickPanelsOverTheLogoOpenTheHomePage) {
    HWND panel = p->form->Control("TranPanel2");
    ASSERT_TRUE(panel);
    ::SendMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(panel, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(p->dialogs->opened.size(), 1u);
    EXPECT_EQ(p->dialogs->opened[0], kv::ui::FindLink("TranPanel2")->address);
}

TEST_F(ShownWindow, MinimizeButtonMinimizesTheApplication) {
    ASSERT_TRUE(p->form->RunClick("EzRgnBtn1Click"));
    kvtest::PumpFor(300);
    EXPECT_TRUE(::IsIconic(p->app.Handle()));
    EXPECT_FALSE(::IsWindowVisible(p->form->Handle()));
    ::SendMessageW(p->app.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    kvtest::PumpFor(300);
    EXPECT_TRUE(::IsWindowVisible(p->form->Handle()));
}

}  // namespace
