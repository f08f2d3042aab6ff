#include "ui/click_panel_win.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "ui_test_util.h"

namespace {

using namespace kvuitest;
using kv::ui::TTranPanel;

// A plain child window that counts the presses it receives.
class Beneath : public kv::win::Window {
public:
    int presses = 0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_LBUTTONDOWN) ++presses;
        return Default(msg, wp, lp);
    }
};

class TranPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel = std::make_unique<TTranPanel>(nullptr);
        ASSERT_TRUE(panel->Create(parent.Get(), 30, 30, 80, 40));
        h = panel->Handle();
        panel->OnClick = [this](kv::TComponent* sender) {
            EXPECT_EQ(sender, panel.get());
            ++clicks;
        };
    }
    void TearDown() override {
        if (::GetCapture() == h) ::ReleaseCapture();
    }

    // A pixel of the parent's surface, after everything pending is painted.
    [[nodiscard]] std::uint32_t ParentPixel(int x, int y) const {
        ::UpdateWindow(parent.Get());
        return OnScreen(parent.Get(), x, y);
    }

    TestParent parent;
    std::unique_ptr<TTranPanel> panel;
    HWND h = nullptr;
    int clicks = 0;
};

TEST_F(TranPanelTest, IsATransparentWindowOfTheGivenOrDefaultSize) {
    EXPECT_TRUE(::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    RECT rc{};
    ::GetClientRect(h, &rc);
    EXPECT_EQ(rc.right, 80);
    EXPECT_EQ(rc.bottom, 40);
    TTranPanel plain(nullptr);
    ASSERT_TRUE(plain.Create(parent.Get(), 0, 0));
    ::GetClientRect(plain.Handle(), &rc);
    EXPECT_EQ(rc.right, TTranPanel::kDefaultWidth);
    EXPECT_EQ(rc.bottom, TTranPanel::kDefaultHeight);
}

TEST_F(TranPanelTest, ParentShowsThroughAndTheFrameComesAndGoes) {
    const std::uint32_t under = FromColorRef(kParentColour);
    const std::uint32_t shadow = FromColorRef(::GetSysColor(COLOR_BTNSHADOW));
    ASSERT_NE(under, shadow);
    ::RedrawWindow(parent.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    EXPECT_EQ(ParentPixel(30, 30), under);
    EXPECT_EQ(ParentPixel(60, 50), under);
    // Nothing of its own in the panel's print either: it never fills.
    const kv::ui::TPixmap printed = Printed(h);
    EXPECT_EQ(printed.At(0, 0), 0x123456u);

    panel->SetBorder(true);
    EXPECT_TRUE(panel->Border());
    EXPECT_EQ(ParentPixel(30, 30), shadow);   // top-left corner of the frame
    EXPECT_EQ(ParentPixel(109, 69), shadow);  // bottom-right corner
    EXPECT_EQ(ParentPixel(60, 30), shadow);   // top edge
    EXPECT_EQ(ParentPixel(60, 50), under);    // inside: still see-through
    EXPECT_EQ(ParentPixel(29, 29), under);    // just outside

    panel->SetBorder(false);
    EXPECT_EQ(ParentPixel(30, 30), under);
    EXPECT_EQ(ParentPixel(60, 30), under);
}

TEST_F(TranPanelTest, TakesTheClickOverWhatLiesBeneath) {
    // A window beneath the panel, as the logo's picture lies beneath the click areas.
    Beneath below;
    ASSERT_TRUE(below.Create(L"KvUiTestBeneath", 0, WS_CHILD | WS_VISIBLE, L"", 20, 20, 120, 60, parent.Get()));
    ::SetWindowPos(below.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const POINT inside = ToScreen(h, 10, 10);
    EXPECT_EQ(::WindowFromPoint(inside), h);
    EXPECT_EQ(::ChildWindowFromPointEx(parent.Get(), POINT{40, 40}, CWP_SKIPINVISIBLE), h);
    // Beside the panel the window beneath gets the pointer.
    EXPECT_EQ(::WindowFromPoint(ToScreen(below.Handle(), 2, 2)), below.Handle());

    Down(h, 10, 10);
    EXPECT_EQ(::GetCapture(), h);
    Up(h, 10, 10);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(below.presses, 0);
}

TEST_F(TranPanelTest, ClickNeedsPressAndReleaseOnThePanel) {
    int downs = 0, ups = 0;
    panel->OnMouseDown = [&](kv::TComponent*, kv::ui::TMouseButton b, unsigned, int x, int y) {
        EXPECT_EQ(b, kv::ui::mbLeft);
        EXPECT_EQ(x, 10);
        EXPECT_EQ(y, 12);
        ++downs;
    };
    panel->OnMouseUp = [&](kv::TComponent*, kv::ui::TMouseButton, unsigned, int, int) { ++ups; };
    Down(h, 10, 12);
    Up(h, 200, 12);  // released beside it
    EXPECT_EQ(clicks, 0);
    Up(h, 10, 12);  // released on it, pressed nowhere
    EXPECT_EQ(clicks, 0);
    // A double-click opens once.
    Down(h, 10, 12);
    Up(h, 10, 12);
    DoubleDown(h, 10, 12);
    Up(h, 10, 12);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(downs, 3);
    EXPECT_EQ(ups, 4);
}

TEST_F(TranPanelTest, AScreenReadersJumpClicks) {
    EXPECT_EQ(ReaderDefaultAction(h), S_OK);
    EXPECT_EQ(clicks, 1);
}

TEST_F(TranPanelTest, MovesReachTheHandlerWithKeysAndPlace) {
    std::vector<std::array<int, 3>> moves;
    panel->OnMouseMove = [&](kv::TComponent* sender, unsigned keys, int x, int y) {
        EXPECT_EQ(sender, panel.get());
        moves.push_back({static_cast<int>(keys), x, y});
    };
    ::SendMessageW(h, WM_MOUSEMOVE, MK_SHIFT, At(7, 9));
    Move(h, 11, 3);
    EXPECT_EQ(moves, (std::vector<std::array<int, 3>>{{MK_SHIFT, 7, 9}, {0, 11, 3}}));
}

TEST_F(TranPanelTest, ShowsTheHandPointer) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_TRUE(::SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
}

}  // namespace
