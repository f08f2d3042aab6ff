// The assembled skinned window, shown under the X server and read back by pixels.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "support/form_access.h"
#include "support/key_input.h"
#include "support/program.h"
#include "ui/picture_win.h"
#include "ui/pixmap.h"
#include "ui/layout.h"
#include "support/win_test_util.h"
#include "win/gdi.h"
#include "win/handle.h"
#include "support/checked.h"

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
    jobs.Append(kvtest::Checked("C:\\v\\MMMMMMMMMMMM.mp4"), "MMMMMMMMMMMM", 5);
    kvtest::PumpFor(300);
    HWND list = kvtest::FormAccess::Rows(*p->form).ListView();
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

// ---- the keyboard -------------------------------------------------------------------------

// Real key strokes through the system's input queue, handled by the program's
// own loop (its keyboard navigation included).
class Keyboard : public ShownWindow {
protected:
    void SetUp() override {
        ShownWindow::SetUp();
        ::SetForegroundWindow(p->form->Handle());
        Pump(200);
    }
    void Pump(DWORD ms) {
        const ULONGLONG end = ::GetTickCount64() + ms;
        MSG msg;
        while (::GetTickCount64() < end) {
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) p->app.ProcessMessage(msg);
            ::Sleep(5);
        }
    }
    // Presses the keys in order, then lets them go in reverse (Shift+Tab: {VK_SHIFT, VK_TAB}).
    void Keys(std::initializer_list<WORD> keys) {
        std::vector<INPUT> in = kvtest::KeyStrokes(keys);
        ASSERT_EQ(::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)), in.size());
        Pump(150);
    }
    std::string Focused() {
        HWND f = ::GetFocus();
        for (const auto& c : kv::ui::MainLayout())
            if (f && p->form->Control(c.name) == f) return std::string(c.name);
        return f ? "(other)" : "(none)";
    }
};

TEST_F(Keyboard, TabAndShiftTabGoRoundTheControlsInOrder) {
    EXPECT_EQ(Focused(), "Button1") << "the keyboard starts at the first control";
    std::vector<std::string> forward{Focused()};
    for (int i = 0; i < 7; ++i) {
        Keys({VK_TAB});
        forward.push_back(Focused());
    }
    EXPECT_EQ(forward, (std::vector<std::string>{"Button1", "Button2", "Button3", "ListView1", "EzRgnBtn3", "EzRgnBtn1",
                                                 "EzRgnBtn2", "Button1"}));
    std::vector<std::string> back;
    for (int i = 0; i < 3; ++i) {
        Keys({VK_SHIFT, VK_TAB});
        back.push_back(Focused());
    }
    EXPECT_EQ(back, (std::vector<std::string>{"EzRgnBtn2", "EzRgnBtn1", "EzRgnBtn3"}));
    // Arrows on a button go nowhere else: each control is a group of its own.
    Keys({VK_DOWN});
    EXPECT_EQ(Focused(), "EzRgnBtn3");
}

TEST_F(Keyboard, EnterSpaceAndAccessKeysPressTheButtonsEscDoesNothing) {
    auto& d = *p->dialogs;
    Keys({VK_RETURN});  // "Add MP4 File" has the focus: its file dialog (answered: cancelled)
    EXPECT_EQ(d.openRequests.size(), 1u);
    Keys({VK_TAB});
    Keys({VK_SPACE});  // "Add Folder"
    EXPECT_EQ(d.folderAsks.size(), 1u);
    Keys({VK_MENU, 'B'});  // Alt+B: "Browse", the output folder's picker
    ASSERT_EQ(d.folderAsks.size(), 2u);
    EXPECT_EQ(d.folderAsks[1].title, "Select Output Folder");
    Keys({VK_MENU, 'A'});
    EXPECT_EQ(d.openRequests.size(), 2u);
    Keys({VK_ESCAPE});
    EXPECT_TRUE(::IsWindowVisible(p->form->Handle()));
    EXPECT_EQ(d.openRequests.size(), 2u);
    EXPECT_EQ(d.folderAsks.size(), 2u);
    EXPECT_TRUE(d.boxes.empty());
}

TEST_F(Keyboard, APictureButtonPressedByKeyShowsItsCueAndClicks) {
    HWND minimize = p->form->Control("EzRgnBtn1");
    auto paint = [&] {
        RECT rc{};
        ::GetClientRect(minimize, &rc);
        kv::ui::TPixmap out(rc.right, rc.bottom);
        const kv::win::WindowDc screen(nullptr);
        const kv::win::UniqueBitmap bmp(::CreateCompatibleBitmap(screen.Get(), rc.right, rc.bottom));
        const kv::win::MemoryDc mem(screen.Get(), bmp.Get());
        ::SendMessageW(minimize, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.Get()), PRF_CLIENT);
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x) {
                const COLORREF c = ::GetPixel(mem.Get(), x, y);
                out.Set(x, y, (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
            }
        return out;
    };
    const kv::ui::TPixmap plain = paint();
    Keys({VK_SHIFT, VK_TAB});  // from "Add MP4 File" back round to Close, then to Minimize
    Keys({VK_SHIFT, VK_TAB});
    ASSERT_EQ(Focused(), "EzRgnBtn1");
    const kv::ui::TPixmap cued = paint();
    // The cue is drawn on the button's own shape: it changes pixels, and only
    // pixels inside the shape's edge, never the middle of the art.
    const kv::win::UniqueRgn region(::CreateRectRgn(0, 0, 0, 0));
    HRGN shape = region.Get();
    ASSERT_NE(::GetWindowRgn(minimize, shape), ERROR);
    int changed = 0, changedInMiddle = 0;
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < plain.width; ++x) {
            if (plain.At(x, y) == cued.At(x, y)) continue;
            ++changed;
            EXPECT_TRUE(::PtInRegion(shape, x, y)) << x << "," << y << " outside the shape";
            const bool edge = !::PtInRegion(shape, x - 1, y) || !::PtInRegion(shape, x + 1, y) ||
                              !::PtInRegion(shape, x, y - 1) || !::PtInRegion(shape, x, y + 1);
            if (!edge) ++changedInMiddle;
        }
    EXPECT_GT(changed, 10);
    EXPECT_EQ(changedInMiddle, 0);

    Keys({VK_SPACE});
    EXPECT_TRUE(::IsIconic(p->app.Handle())) << "Space on Minimize minimizes";
}

TEST_F(Keyboard, DeleteStillRemovesTheSelectedRow) {
    kvtest::TempFolder dir(L"kv keys");
    for (const wchar_t* n : {L"a.mp4", L"b.mp4"}) {
        std::filesystem::copy_file(kvtest::MediaFile("aac_mono_48k.mp4"), dir.Path() / n);
        p->dialogs->openAnswers.push_back(kvtest::Utf8(dir.Path() / n));
        p->form->Button1Click();
    }
    auto& jobs = p->form->Jobs();
    ASSERT_EQ(jobs.Count(), 2);
    for (int i = 0; i < 3; ++i) Keys({VK_TAB});
    ASSERT_EQ(Focused(), "ListView1");
    ListView_SetItemState(kvtest::FormAccess::Rows(*p->form).ListView(), 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    Keys({VK_DELETE});
    ASSERT_EQ(jobs.Count(), 1);
    EXPECT_EQ(jobs.Path(0), kvtest::Utf8(dir.Path() / L"a.mp4"));
}

}  // namespace
