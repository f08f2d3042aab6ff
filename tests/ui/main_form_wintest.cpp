// The assembled skinned window, shown under the X server and read back by pixels.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "support/form_access.h"
#include "support/program.h"
#include "ui/picture.h"
#include "ui/pixmap.h"
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
    // The buttons' corners are in their key colour, which is the skin's face:
    // to tell the skin from an uncut corner, the skin and the banner beneath
    // the convert button become magenta.
    const COLORREF magenta = RGB(255, 0, 255);
    auto& pictures = kvtest::FormAccess::Pictures(*p->form);
    ASSERT_TRUE(pictures.count("background") && pictures.count("banner"));
    pictures["background"] = kv::ui::BitmapFromPixmap(kv::ui::TPixmap(503, 480, kv::ui::Rgb(255, 0, 255)));
    pictures["banner"] = kv::ui::BitmapFromPixmap(kv::ui::TPixmap(198, 45, kv::ui::Rgb(255, 0, 255)));
    ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    kvtest::PumpFor(200);
    // The corner pixels of each button are cut away, so the skin beneath shows.
    for (const char* name : {"EzRgnBtn1", "EzRgnBtn2", "EzRgnBtn3"}) {
        const auto* def = kv::ui::FindControl(name);
        EXPECT_EQ(ScreenPixel(w, def->left, def->top), magenta) << name;
        EXPECT_EQ(ScreenPixel(w, def->left + 1, def->top), magenta) << name;
        EXPECT_NE(ScreenPixel(w, def->left + def->width / 2, def->top + def->height / 2), magenta) << name;
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

// Records the window's move commands instead of running the system's move
// loop, which without a real pointer would have nothing to follow.
LRESULT CALLBACK CatchMoves(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_MOVE) {
        ++*reinterpret_cast<int*>(data);
        return 0;
    }
    return ::DefSubclassProc(h, msg, wp, lp);
}

TEST_F(ShownWindow, OnlyALeftPressOnTheSkinMovesTheWindow) {
    HWND w = p->form->Handle();
    int moves = 0;
    ASSERT_TRUE(::SetWindowSubclass(w, &CatchMoves, 7, reinterpret_cast<DWORD_PTR>(&moves)));
    const LPARAM onSkin = MAKELPARAM(250, 400);
    ::SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, onSkin);
    ::SendMessageW(w, WM_RBUTTONUP, 0, onSkin);
    ::SendMessageW(w, WM_MBUTTONDOWN, MK_MBUTTON, onSkin);
    ::SendMessageW(w, WM_MBUTTONUP, 0, onSkin);
    EXPECT_EQ(moves, 0) << "a right or middle press moves the window";
    ::SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, onSkin);
    EXPECT_EQ(moves, 1) << "a left press must start the move";
    ::RemoveWindowSubclass(w, &CatchMoves, 7);
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

// The system menu's Minimize (Alt+Space) and Win+Down send the window a minimize
// command: it must go where the minimize button goes, not leave the window
// iconic on its own beside the application's taskbar button.
TEST_F(ShownWindow, TheSystemMenusMinimizeMinimizesTheApplication) {
    ::SendMessageW(p->form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    kvtest::PumpFor(300);
    EXPECT_TRUE(::IsIconic(p->app.Handle()));
    EXPECT_FALSE(::IsIconic(p->form->Handle())) << "the window minimized on its own";
    EXPECT_FALSE(::IsWindowVisible(p->form->Handle()));
    ::SendMessageW(p->app.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    kvtest::PumpFor(300);
    EXPECT_TRUE(::IsWindowVisible(p->form->Handle()));
}

}  // namespace
