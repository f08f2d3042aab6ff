#include "ui/region_button_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/win_test_util.h"
#include "ui_test_util.h"

namespace {

using namespace kvuitest;
using kv::ui::Rgb;
using kv::ui::TEzRgnBtn;
using kv::ui::TPixmap;
using namespace kv::ui;  // psIdle, pmCrop ...

constexpr std::uint32_t kIdleInk = Rgb(30, 90, 160);
constexpr std::uint32_t kHoverInk = Rgb(90, 160, 230);
constexpr std::uint32_t kDownInk = Rgb(20, 50, 110);
constexpr std::uint32_t kDsbldInk = Rgb(128, 128, 128);

// Inside the shape: a pixel well away from the edges and the hole.
constexpr int kCx = 3;
constexpr int kCy = 3;

class EzRgnBtnTest : public ::testing::Test {
protected:
    void SetUp() override {
        btn = std::make_unique<TEzRgnBtn>(nullptr);
        ASSERT_TRUE(btn->Create(parent.Get(), 20, 20));
        h = btn->Handle();
        btn->OnClick = [this](kv::TComponent* sender) {
            EXPECT_EQ(sender, btn.get());
            ++clicks;
            clickPictures.push_back(btn->ShownPicture());
            clickPixels.push_back(Printed(h).At(kCx, kCy));
        };
    }
    void TearDown() override {
        if (::GetCapture() == h) ::ReleaseCapture();
    }

    void SetFourPictures() {
        btn->SetPicture(psIdle, FromRows(ShapeRows(), kIdleInk));
        // Other corner colours than the idle picture's: they must not matter.
        btn->SetPicture(psUp, FromRows(ShapeRows(), kHoverInk, Rgb(249, 249, 249)));
        btn->SetPicture(psDown, FromRows(ShapeRows(), kDownInk, Rgb(0, 0, 0)));
    }

    [[nodiscard]] std::uint32_t Shown() const { return Printed(h).At(kCx, kCy); }

    TestParent parent;
    std::unique_ptr<TEzRgnBtn> btn;
    HWND h = nullptr;
    int clicks = 0;
    std::vector<TPicSlot> clickPictures;
    std::vector<std::uint32_t> clickPixels;
};

TEST_F(EzRgnBtnTest, SizeFollowsTheShownPicture) {
    RECT rc{};
    ::GetClientRect(h, &rc);
    EXPECT_EQ(rc.right, TEzRgnBtn::kInitialSize);
    EXPECT_EQ(rc.bottom, TEzRgnBtn::kInitialSize);
    btn->SetPicture(psIdle, TPixmap(12, 10, kIdleInk));
    ::GetClientRect(h, &rc);
    EXPECT_EQ(rc.right, 12);
    EXPECT_EQ(rc.bottom, 10);
    btn->SetPicture(psUp, TPixmap(16, 14, kHoverInk));
    Move(h, 2, 2);
    ::GetClientRect(h, &rc);
    EXPECT_EQ(rc.right, 16);
    EXPECT_EQ(rc.bottom, 14);
}

TEST_F(EzRgnBtnTest, PicturesFollowPointerAndPress) {
    SetFourPictures();
    EXPECT_EQ(btn->ShownPicture(), psIdle);
    EXPECT_EQ(Shown(), kIdleInk);
    Move(h, kCx, kCy);
    EXPECT_TRUE(btn->MouseInside());
    EXPECT_EQ(btn->ShownPicture(), psUp);
    EXPECT_EQ(Shown(), kHoverInk);
    // Drawn at once on the window itself, not only when asked to print.
    EXPECT_EQ(OnScreen(h, kCx, kCy), kHoverInk);
    Down(h, kCx, kCy);
    EXPECT_EQ(btn->ShownPicture(), psDown);
    EXPECT_EQ(OnScreen(h, kCx, kCy), kDownInk);
    Up(h, kCx, kCy);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(btn->ShownPicture(), psUp);
    Leave(h);
    EXPECT_FALSE(btn->MouseInside());
    EXPECT_EQ(btn->ShownPicture(), psIdle);
    EXPECT_EQ(OnScreen(h, kCx, kCy), kIdleInk);
}

TEST_F(EzRgnBtnTest, ClickRunsWhileThePressedPictureShows) {
    SetFourPictures();
    std::vector<unsigned> order;
    btn->OnMouseEnter = [&](const TMessage& m) { order.push_back(m.Msg); };
    btn->OnMouseDown = [&](const TMessage& m) {
        order.push_back(m.Msg);
        EXPECT_EQ(m.LParam, At(kCx, kCy));
    };
    btn->OnMouseUp = [&](const TMessage& m) {
        order.push_back(m.Msg);
        EXPECT_EQ(clicks, 1);  // after the click
    };
    btn->OnMouseLeave = [&](const TMessage& m) { order.push_back(m.Msg); };
    Move(h, kCx, kCy);
    Down(h, kCx, kCy);
    EXPECT_EQ(::GetCapture(), h);
    Up(h, kCx, kCy);
    EXPECT_NE(::GetCapture(), h);
    Leave(h);
    ASSERT_EQ(clicks, 1);
    EXPECT_EQ(clickPictures[0], psDown);
    EXPECT_EQ(clickPixels[0], kDownInk);
    EXPECT_EQ(order, (std::vector<unsigned>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSELEAVE}));
}

TEST_F(EzRgnBtnTest, NoClickUnlessPressAndReleaseAreOnTheButton) {
    SetFourPictures();
    // Press, move out (the button holds the pointer), release out there.
    Move(h, kCx, kCy);
    Down(h, kCx, kCy);
    Move(h, -5, 40);
    EXPECT_FALSE(btn->MouseInside());
    EXPECT_TRUE(btn->Pressed());
    EXPECT_EQ(Shown(), kIdleInk);  // pressed outside is drawn as idle
    Up(h, -5, 40);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(btn->Pressed());
    EXPECT_EQ(Shown(), kIdleInk);
    // Pressed elsewhere, released over the button.
    Move(h, kCx, kCy);
    Up(h, kCx, kCy);
    EXPECT_EQ(clicks, 0);
    // Out and back in before the release: still a click.
    Down(h, kCx, kCy);
    Move(h, 50, 50);
    Move(h, kCx, kCy);
    EXPECT_EQ(Shown(), kDownInk);
    Up(h, kCx, kCy);
    EXPECT_EQ(clicks, 1);
}

TEST_F(EzRgnBtnTest, DoubleClickGivesOneClick) {
    SetFourPictures();
    int downs = 0, ups = 0;
    btn->OnMouseDown = [&](const TMessage&) { ++downs; };
    btn->OnMouseUp = [&](const TMessage&) { ++ups; };
    Move(h, kCx, kCy);
    Down(h, kCx, kCy);
    Up(h, kCx, kCy);
    DoubleDown(h, kCx, kCy);
    EXPECT_FALSE(btn->Pressed());
    EXPECT_EQ(Shown(), kHoverInk);  // the second press changes nothing
    Up(h, kCx, kCy);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 2);
}

TEST_F(EzRgnBtnTest, DisabledShowsIdleAndHoldsBackClicks) {
    SetFourPictures();
    int downs = 0;
    btn->OnMouseDown = [&](const TMessage&) { ++downs; };
    btn->SetEnabled(false);
    EXPECT_TRUE(btn->Disabled());
    EXPECT_TRUE(::IsWindowEnabled(h));  // the window itself stays enabled
    Move(h, kCx, kCy);
    EXPECT_EQ(Shown(), kIdleInk);
    Down(h, kCx, kCy);
    EXPECT_EQ(Shown(), kIdleInk);
    Up(h, kCx, kCy);
    btn->Click();
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(downs, 1);
    // With a disabled picture, that one shows whatever the pointer does.
    btn->SetPicture(psDsbld, FromRows(ShapeRows(), kDsbldInk));
    EXPECT_EQ(Shown(), kDsbldInk);
    Down(h, kCx, kCy);
    EXPECT_EQ(Shown(), kDsbldInk);
    Up(h, kCx, kCy);
    EXPECT_EQ(clicks, 0);
    btn->SetEnabled(true);
    EXPECT_EQ(Shown(), kHoverInk);
    btn->Click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(EzRgnBtnTest, AScreenReadersPressClicksOnlyWhileEnabled) {
    SetFourPictures();
    btn->SetEnabled(false);
    EXPECT_EQ(ReaderDefaultAction(h), S_OK);
    EXPECT_EQ(clicks, 0) << "a disabled button was pressed";
    btn->SetEnabled(true);
    EXPECT_EQ(ReaderDefaultAction(h), S_OK);
    EXPECT_EQ(clicks, 1);
}

TEST_F(EzRgnBtnTest, AutoRepeatClicksWhileHeldOverTheButton) {
    SetFourPictures();
    btn->SetAutoRepeat(true);
    Move(h, kCx, kCy);
    Down(h, kCx, kCy);
    EXPECT_TRUE(btn->Repeating());
    EXPECT_TRUE(kvtest::PumpUntil([&] { return clicks >= 3; }, 10000)) << clicks;
    EXPECT_EQ(clickPictures.back(), psDown);
    // Out of the button: the repetition stops.
    Move(h, 60, 60);
    EXPECT_FALSE(btn->Repeating());
    const int held = clicks;
    kvtest::PumpFor(3 * TEzRgnBtn::kRepeatPeriodMs);
    EXPECT_EQ(clicks, held);
    // Back in: it goes on; the release adds its own click.
    Move(h, kCx, kCy);
    EXPECT_TRUE(kvtest::PumpUntil([&] { return clicks > held; }, 10000));
    const int before = clicks;
    Up(h, kCx, kCy);
    EXPECT_EQ(clicks, before + 1);
    EXPECT_FALSE(btn->Repeating());
    kvtest::PumpFor(3 * TEzRgnBtn::kRepeatPeriodMs);
    EXPECT_EQ(clicks, before + 1);
}

TEST_F(EzRgnBtnTest, CropCutsEveryKeyPixelAway) {
    SetFourPictures();
    const TPixmap idle = FromRows(ShapeRows(), kIdleInk);
    btn->SetPaintMode(pmCrop);
    ASSERT_TRUE(btn->RegionApplied());
    kv::win::UniqueRgn rgn(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(::GetWindowRgn(h, rgn.Get()), ERROR);
    for (int y = 0; y < idle.height; ++y) {
        for (int x = 0; x < idle.width; ++x) {
            EXPECT_EQ(::PtInRegion(rgn.Get(), x, y) != FALSE, idle.At(x, y) != kKey) << x << "," << y;
        }
    }
    // The system's own hit-testing: over the hole and the corner is the parent.
    const POINT hole = ToScreen(h, 6, 5);
    const POINT corner = ToScreen(h, 0, 0);
    const POINT solid = ToScreen(h, kCx, kCy);
    EXPECT_EQ(::WindowFromPoint(hole), parent.Get());
    EXPECT_EQ(::WindowFromPoint(corner), parent.Get());
    EXPECT_EQ(::WindowFromPoint(solid), h);
    // The parent, clipping its children, still paints what the cut-away pixels uncover.
    ::RedrawWindow(parent.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_EQ(OnScreen(parent.Get(), 20 + 6, 20 + 5), FromColorRef(kParentColour));
    EXPECT_EQ(OnScreen(parent.Get(), 20 + kCx, 20 + kCy), kIdleInk);
    // While held, a move over the hole is a move off the button.
    Move(h, kCx, kCy);
    Down(h, kCx, kCy);
    Move(h, 6, 5);
    EXPECT_FALSE(btn->MouseInside());
    Up(h, 6, 5);
    EXPECT_EQ(clicks, 1);  // the release is judged by the rectangle, as a press-release on it
}

TEST_F(EzRgnBtnTest, CropShapeFollowsTheIdlePictureOnly) {
    SetFourPictures();
    btn->SetPaintMode(pmCrop);
    kv::win::UniqueRgn rgn(::CreateRectRgn(0, 0, 0, 0));
    // Hover and pressed pictures keep the idle picture's shape.
    Move(h, kCx, kCy);
    Down(h, kCx, kCy);
    ASSERT_NE(::GetWindowRgn(h, rgn.Get()), ERROR);
    EXPECT_FALSE(::PtInRegion(rgn.Get(), 0, 0));
    EXPECT_FALSE(::PtInRegion(rgn.Get(), 6, 5));
    Up(h, kCx, kCy);
    // A new idle picture brings its own shape.
    std::vector<std::string> rows = ShapeRows();
    rows[2][2] = '.';
    rows[5][6] = '#';
    btn->SetPicture(psIdle, FromRows(rows, kIdleInk));
    ASSERT_NE(::GetWindowRgn(h, rgn.Get()), ERROR);
    EXPECT_FALSE(::PtInRegion(rgn.Get(), 2, 2));
    EXPECT_TRUE(::PtInRegion(rgn.Get(), 6, 5));
    // Back to normal: the full rectangle, no shape of its own.
    btn->SetPaintMode(pmNormal);
    EXPECT_FALSE(btn->RegionApplied());
    EXPECT_EQ(::GetWindowRgn(h, rgn.Get()), ERROR);
    EXPECT_EQ(::WindowFromPoint(ToScreen(h, 0, 0)), h);
}

TEST_F(EzRgnBtnTest, CropChosenBeforeThePicturesStillCuts) {
    btn->SetPaintMode(pmCrop);
    EXPECT_FALSE(btn->RegionApplied());  // nothing to cut by yet
    kv::win::UniqueRgn rgn(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(::GetWindowRgn(h, rgn.Get()), ERROR);
    btn->SetPicture(psIdle, FromRows(ShapeRows(), kIdleInk));
    EXPECT_TRUE(btn->RegionApplied());
    ASSERT_NE(::GetWindowRgn(h, rgn.Get()), ERROR);
    EXPECT_FALSE(::PtInRegion(rgn.Get(), 6, 5));
    btn->ResetRegion();
    EXPECT_FALSE(btn->RegionApplied());
    EXPECT_EQ(::GetWindowRgn(h, rgn.Get()), ERROR);
}

TEST_F(EzRgnBtnTest, TransparentModeLetsTheParentShowThroughKeyPixels) {
    SetFourPictures();
    btn->SetPaintMode(pmTransparent);
    EXPECT_FALSE(btn->RegionApplied());
    const TPixmap shown = Printed(h);
    EXPECT_EQ(shown.At(0, 0), FromColorRef(kParentColour));
    EXPECT_EQ(shown.At(6, 5), FromColorRef(kParentColour));
    EXPECT_EQ(shown.At(kCx, kCy), kIdleInk);
    // The key is the shown picture's own corner colour.
    Move(h, kCx, kCy);
    const TPixmap hover = Printed(h);
    EXPECT_EQ(hover.At(0, 0), FromColorRef(kParentColour));
    EXPECT_EQ(hover.At(kCx, kCy), kHoverInk);
}

TEST_F(EzRgnBtnTest, ImageListFillsThePicturesItHas) {
    kv::win::UniqueBitmap a = kv::ui::BitmapFromPixmap(FromRows(ShapeRows(), kIdleInk));
    kv::win::UniqueBitmap b = kv::ui::BitmapFromPixmap(TPixmap(12, 10, kHoverInk));
    HIMAGELIST list = ::ImageList_Create(12, 10, ILC_COLOR32, 2, 0);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(::ImageList_Add(list, a.Get(), nullptr), 0);
    ASSERT_EQ(::ImageList_Add(list, b.Get(), nullptr), 1);
    btn->SetImageList(list);
    EXPECT_EQ(btn->ImageList(), list);
    EXPECT_EQ(btn->Picture(psIdle), FromRows(ShapeRows(), kIdleInk));
    EXPECT_EQ(btn->Picture(psUp), TPixmap(12, 10, kHoverInk));
    EXPECT_TRUE(btn->Picture(psDown).Empty());
    EXPECT_TRUE(btn->Picture(psDsbld).Empty());
    Move(h, kCx, kCy);
    EXPECT_EQ(Shown(), kHoverInk);
    btn->SetImageList(nullptr);
    ::ImageList_Destroy(list);
    EXPECT_EQ(btn->Picture(psIdle), FromRows(ShapeRows(), kIdleInk));  // copies, kept
}

TEST_F(EzRgnBtnTest, PicturesAreCopiesOfTheCallersBitmaps) {
    kv::win::UniqueBitmap idle = kv::ui::BitmapFromPixmap(FromRows(ShapeRows(), kIdleInk));
    btn->SetPicIdle(idle.Get());
    idle.Reset();
    EXPECT_EQ(btn->Picture(psIdle), FromRows(ShapeRows(), kIdleInk));
    EXPECT_EQ(Shown(), kIdleInk);
    btn->SetPicUp(nullptr);  // not a bitmap: an empty picture
    EXPECT_TRUE(btn->Picture(psUp).Empty());
}

TEST_F(EzRgnBtnTest, HintAndPointer) {
    SetFourPictures();
    btn->SetHint("Close");
    HWND tip = btn->HintWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    const auto text = [&] {
        wchar_t buf[80] = {};
        TTTOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.hwnd = parent.Get();
        ti.uId = reinterpret_cast<UINT_PTR>(h);
        ti.lpszText = buf;
        ::SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
        return std::wstring(buf);
    };
    EXPECT_EQ(text(), L"Close");
    btn->SetHint("Convert to MP3");
    EXPECT_EQ(text(), L"Convert to MP3");
    btn->SetHint("");
    EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);

    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_TRUE(::SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
}

std::string g_reported;

TEST_F(EzRgnBtnTest, FailingClickHandlerLeavesTheButtonReleased) {
    SetFourPictures();
    g_reported.clear();
    kv::win::SetExceptionSink([](const std::string& m) { g_reported = m; });
    btn->OnClick = [](kv::TComponent*) { throw std::runtime_error("handler failed"); };
    Move(h, kCx, kCy);
    Down(h, kCx, kCy);
    Up(h, kCx, kCy);
    kv::win::SetExceptionSink(nullptr);
    EXPECT_EQ(g_reported, "handler failed");
    EXPECT_FALSE(btn->Pressed());
    EXPECT_EQ(Shown(), kHoverInk);
}

TEST_F(EzRgnBtnTest, OwnerDestroysTheButton) {
    auto* owner = new kv::TComponent(nullptr);
    auto* owned = new TEzRgnBtn(owner);
    ASSERT_TRUE(owned->Create(parent.Get(), 60, 20));
    HWND window = owned->Handle();
    EXPECT_TRUE(::IsWindow(window));
    delete owner;
    EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
