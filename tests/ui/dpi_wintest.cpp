// The window at the display's DPI. The whole program runs these at 96 dpi
// with the other Win32 tests, and ctest runs them again in prefixes of 144,
// 192, 240 and 288 dpi (win_dpi_144 ...: KV_DPI names the prefix's DPI).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/form_access.h"
#include "support/program.h"
#include "ui_test_util.h"
#include "ui/art_names.h"
#include "ui/dpi.h"
#include "ui/dpi_win.h"
#include "ui/layout.h"
#include "ui/picture_win.h"
#include "ui/resample.h"
#include "ui/region_button_win.h"
#include "win/handle.h"
#include "support/checked.h"

namespace {

using kv::ui::Scale;
using kvtest::FormAccess;
using kvtest::Program;

// The DPI the prefix was made with; the build's own prefix keeps Wine's 96.
int PrefixDpi() {
    const char* v = std::getenv("KV_DPI");
    return v && *v ? std::atoi(v) : 96;
}

// The art scale each tested DPI must show, as a table rather than a formula.
int ExpectedArtScale(int dpi) {
    switch (dpi) {
    case 96:
        return 100;
    case 120:
        return 125;
    case 144:
        return 150;
    case 168:
        return 175;
    case 192:
        return 200;
    case 240:
        return 250;
    case 288:
        return 300;
    case 110:  // between two scales: the larger, reduced
        return 125;
    case 336:  // above the largest: the largest, enlarged
    case 480:
        return 300;
    default:
        ADD_FAILURE() << "no expected art scale for " << dpi << " dpi";
        return 0;
    }
}

RECT InForm(HWND form, HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LONG FontHeight(HWND control) {
    auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    if (!font || ::GetObjectW(font, sizeof lf, &lf) != sizeof lf) return 0;
    return lf.lfHeight;
}

kv::ui::TEzRgnBtn* RegionButton(kv::TfrmMain& f, std::string_view name) {
    for (kv::TComponent* c : f.Components())
        if (auto* b = dynamic_cast<kv::ui::TEzRgnBtn*>(c); b && b->Name() == name) return b;
    return nullptr;
}

// Every control, label, font, column and the window's shape where the layout
// table puts them at dpi.
void ExpectLaidOutAt(kv::TfrmMain& f, int dpi) {
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    RECT client{};
    ::GetClientRect(f.Handle(), &client);
    EXPECT_EQ(client.right, Scale(kv::ui::kClientWidth, dpi));
    EXPECT_EQ(client.bottom, Scale(kv::ui::kClientHeight, dpi));
    int windowed = 0;
    for (const auto& def : kv::ui::MainLayout()) {
        SCOPED_TRACE(std::string(def.name));
        if (def.kind == kv::ui::Kind::Picture || def.kind == kv::ui::Kind::Label) {
            const RECT g = FormAccess::GraphicRect(f, def.name);
            // A row of links whose labels would meet at this DPI flows (the fit test keeps them apart).
            if (!(def.look & kv::ui::lkLink)) EXPECT_EQ(g.left, Scale(def.left, dpi));
            EXPECT_EQ(g.top, Scale(def.top, dpi));
            EXPECT_EQ(g.bottom - g.top, Scale(def.height, dpi));
            if (!(def.look & kv::ui::lkAutoWidth)) {
                EXPECT_GE(g.right - g.left, Scale(def.width, dpi));
            }
            continue;
        }
        HWND h = f.Control(def.name);
        ASSERT_TRUE(h);
        ++windowed;
        const RECT r = InForm(f.Handle(), h);
        EXPECT_EQ(r.left, Scale(def.left, dpi));
        EXPECT_EQ(r.top, Scale(def.top, dpi));
        EXPECT_EQ(r.right - r.left, Scale(def.width, dpi));
        EXPECT_EQ(r.bottom - r.top, Scale(def.height, dpi));
    }
    EXPECT_GE(windowed, 16);
    // Fonts of 8 points at this DPI.
    for (const char* name : {"Edit1", "Button1", "ListView1", "Memo3"})
        EXPECT_EQ(FontHeight(f.Control(name)), -Scale(11, dpi)) << name;
    HWND list = f.Control("ListView1");
    int i = 0;
    int total = 0;
    for (const auto& col : kv::ui::ListColumns()) {
        const int width = ListView_GetColumnWidth(list, i);
        EXPECT_EQ(width, FormAccess::ColumnWidth(f, i++));
        EXPECT_GE(width, Scale(col.width, dpi) * 3 / 5);
        total += width;
    }
    EXPECT_LE(total, Scale(473 - 4 - 17, dpi)) << "the list never scrolls sideways";
    EXPECT_EQ(::SendMessageW(f.Control("ListBox1"), LB_GETITEMHEIGHT, 0, 0), Scale(13, dpi));
    // The rounded shape: its box, the cut corners and the face inside.
    kv::win::UniqueRgn rgn(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(::GetWindowRgn(f.Handle(), rgn.Get()), ERROR);
    RECT box{};
    ::GetRgnBox(rgn.Get(), &box);
    // GDI leaves the rounded rectangle's last column and row out.
    EXPECT_EQ(box.right, Scale(kv::ui::kClientWidth, dpi) - 1);
    EXPECT_EQ(box.bottom, Scale(kv::ui::kClientHeight, dpi) - 1);
    const int w = box.right, h = box.bottom, in = Scale(3, dpi);
    for (const POINT p : {POINT{in, in}, POINT{w - 1 - in, in}, POINT{in, h - 1 - in}, POINT{w - 1 - in, h - 1 - in}})
        EXPECT_FALSE(::PtInRegion(rgn.Get(), p.x, p.y)) << p.x << "," << p.y;
    for (const POINT p : {POINT{Scale(15, dpi), Scale(15, dpi)}, POINT{w / 2, h - 2}, POINT{w - 2, h / 2}})
        EXPECT_TRUE(::PtInRegion(rgn.Get(), p.x, p.y)) << p.x << "," << p.y;
}

// The pictures show the art of the DPI's scale at exactly the size of their
// places, and each button's shape is its idle picture less the key-coloured
// pixels, pixel for pixel.
void ExpectArtAt(kv::TfrmMain& f, int dpi) {
    const int scale = ExpectedArtScale(dpi);
    SCOPED_TRACE(std::to_string(dpi) + " dpi, art of " + std::to_string(scale) + " %");
    EXPECT_EQ(f.ArtScale(), scale);
    auto& pictures = FormAccess::Pictures(f);
    ASSERT_TRUE(pictures.count("background"));
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectW(pictures.at("background").Get(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, Scale(503, dpi));
    EXPECT_EQ(std::abs(bm.bmHeight), Scale(480, dpi));
    for (const auto& def : kv::ui::MainLayout()) {
        if (def.kind != kv::ui::Kind::RegionButton) continue;
        SCOPED_TRACE(std::string(def.name));
        kv::ui::TEzRgnBtn* b = RegionButton(f, def.name);
        ASSERT_TRUE(b);
        const kv::ui::TPixmap drawn = kv::ui::PixmapFromBitmap(
            kv::ui::LoadArtBitmap(kv::ui::ArtId(std::string(def.picture) + "_idle", scale)).Get());
        ASSERT_FALSE(drawn.Empty());
        EXPECT_EQ(drawn.width, Scale(def.width, kv::ui::DpiOfArtScale(scale)));
        const kv::ui::TPixmap art = kv::ui::Resampled(drawn, Scale(def.width, dpi), Scale(def.height, dpi));
        EXPECT_EQ(b->Picture(kv::ui::psIdle), art);
        RECT rc{};
        ::GetClientRect(b->Handle(), &rc);
        EXPECT_EQ(rc.right, Scale(def.width, dpi));
        EXPECT_EQ(rc.bottom, Scale(def.height, dpi));
        kv::win::UniqueRgn shape(::CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(::GetWindowRgn(b->Handle(), shape.Get()), ERROR);
        const std::uint32_t key = kv::ui::KeyColour(art);
        // A key-coloured corner outside, the middle of the face inside.
        EXPECT_FALSE(::PtInRegion(shape.Get(), 0, 0));
        EXPECT_NE(art.At(art.width / 2, art.height / 2), key);
        EXPECT_TRUE(::PtInRegion(shape.Get(), art.width / 2, art.height / 2));
        int wrong = 0;
        for (int y = 0; y < art.height; ++y)
            for (int x = 0; x < art.width; ++x)
                if ((::PtInRegion(shape.Get(), x, y) != FALSE) != (art.At(x, y) != key)) ++wrong;
        EXPECT_EQ(wrong, 0) << "pixels whose shape is not the picture's";
    }
}

// A window of one loud colour under the program's: whatever of it shows
// through the program's shape is a pixel the skin did not paint.
class LoudBackdrop {
public:
    LoudBackdrop() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KvLoudBackdrop";
        wc.hbrBackground = brush_.Get();
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
                                    0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr,
                                    nullptr, wc.hInstance, nullptr);
        ::UpdateWindow(window_);
    }
    ~LoudBackdrop() {
        ::DestroyWindow(window_);
        ::UnregisterClassW(L"KvLoudBackdrop", ::GetModuleHandleW(nullptr));
    }
    LoudBackdrop(const LoudBackdrop&) = delete;
    LoudBackdrop& operator=(const LoudBackdrop&) = delete;
    // Just under `form`, which is then painted afresh over it.
    void Under(HWND form) const {
        ::SetWindowPos(window_, form, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        Repaint(form);
    }
    static void Repaint(HWND form) {
        ::RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        kvtest::PumpFor(300);
    }
    static constexpr std::uint32_t kColour = kv::ui::Rgb(255, 0, 255);

private:
    kv::win::UniqueBrush brush_{::CreateSolidBrush(RGB(255, 0, 255))};
    HWND window_ = nullptr;
};

// Every pixel inside the window's shape, on the screen, is the skin's.
void ExpectEveryPixelPainted(kv::TfrmMain& f) {
    RECT at{};
    ::GetWindowRect(f.Handle(), &at);
    ASSERT_LE(at.right, ::GetSystemMetrics(SM_CXSCREEN)) << "the screen holds the window";
    ASSERT_LE(at.bottom, ::GetSystemMetrics(SM_CYSCREEN)) << "the screen holds the window";
    kv::win::UniqueRgn shape(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(::GetWindowRgn(f.Handle(), shape.Get()), ERROR);
    const kv::ui::TPixmap shown = kvuitest::FromScreen(at);
    int inside = 0, loud = 0;
    POINT first{-1, -1};
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            if (!::PtInRegion(shape.Get(), x, y)) continue;
            ++inside;
            if (shown.At(x, y) != LoudBackdrop::kColour) continue;
            if (loud++ == 0) first = {x, y};
        }
    EXPECT_GT(inside, shown.width * shown.height * 9 / 10);
    EXPECT_EQ(loud, 0) << "unpainted pixels, the first at " << first.x << "," << first.y;
}

TEST(DpiLayout, WindowControlsFontsAndShapeAreScaledForTheDisplay) {
    Program p;
    kv::TfrmMain& f = *p.form;
    const int dpi = PrefixDpi();
    ASSERT_EQ(kv::ui::WindowDpi(f.Handle()), dpi) << "the display's DPI as the window reads it";
    ASSERT_EQ(f.Dpi(), dpi);
    f.Show();
    kvtest::PumpFor(100);
    ExpectLaidOutAt(f, dpi);
    // Rows are as tall as their scaled font needs.
    HWND list = f.Control("ListView1");
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    wchar_t text[] = L"MP4";
    item.pszText = text;
    ASSERT_EQ(ListView_InsertItem(list, &item), 0);
    RECT row{LVIR_BOUNDS};
    ASSERT_TRUE(ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS));
    EXPECT_GE(row.bottom - row.top, Scale(13, dpi));
}

TEST(DpiArt, PicturesAndButtonShapesAreTheArtDrawnForTheDisplay) {
    Program p;
    kv::TfrmMain& f = *p.form;
    f.Show();
    kvtest::PumpFor(100);
    ExpectArtAt(f, PrefixDpi());
}

TEST(DpiArt, TheSkinPaintsEveryPixelOfTheWindow) {
    LoudBackdrop backdrop;
    Program p;
    kv::TfrmMain& f = *p.form;
    f.Show();
    backdrop.Under(f.Handle());
    ExpectEveryPixelPainted(f);
}

// Real pointer input at a point of the window's client area.
void ClickAt(HWND form, POINT client) {
    POINT s = client;
    ::ClientToScreen(form, &s);
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3]{};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = static_cast<LONG>((s.x * 65535LL + cx / 2) / (cx - 1));
        i.mi.dy = static_cast<LONG>((s.y * 65535LL + cy / 2) / (cy - 1));
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(::SendInput(1, &in[0], sizeof(INPUT)), 1u);
    kvtest::PumpFor(100);
    ASSERT_EQ(::SendInput(2, &in[1], sizeof(INPUT)), 2u);
    kvtest::PumpFor(200);
}

POINT MiddleOf(kv::TfrmMain& f, std::string_view name, int dpi) {
    const kv::ui::ControlDef* def = kv::ui::FindControl(name);
    EXPECT_TRUE(def) << name;
    if (!def) return {};
    if (def->look & kv::ui::lkAutoWidth) {  // as wide as its caption: the middle of what it takes
        const RECT g = FormAccess::GraphicRect(f, name);
        return POINT{(g.left + g.right) / 2, (g.top + g.bottom) / 2};
    }
    // The middle of its place in the layout table, scaled.
    return POINT{Scale(def->left + def->width / 2, dpi), Scale(def->top + def->height / 2, dpi)};
}

TEST(DpiClicks, ButtonsAndLinksAnswerThePointerAtTheirScaledPlaces) {
    Program p;
    kv::TfrmMain& f = *p.form;
    const int dpi = PrefixDpi();
    f.Show();
    kvtest::PumpFor(200);
    ASSERT_EQ(f.Dpi(), dpi);
    int converts = 0, minimizes = 0;
    for (auto [name, count] : {std::pair{"EzRgnBtn3", &converts}, std::pair{"EzRgnBtn1", &minimizes}}) {
        kv::ui::TEzRgnBtn* b = RegionButton(f, name);
        ASSERT_TRUE(b) << name;
        b->OnClick = [count, handler = b->OnClick](kv::TComponent* sender) {
            ++*count;
            handler(sender);
        };
    }
    // A text button: its dialog is asked for (and answered with nothing).
    ClickAt(f.Handle(), MiddleOf(f, "Button1", dpi));
    EXPECT_EQ(p.dialogs->openRequests.size(), 1u);
    // A link label opens its page.
    ClickAt(f.Handle(), MiddleOf(f, "Label3", dpi));
    ASSERT_EQ(p.dialogs->opened.size(), 1u);
    EXPECT_EQ(p.dialogs->opened[0], "https://www.korvello.example/support");
    // A row's file name, in the middle of the list's scaled second column,
    // opens the file: the click rule reads the list's own column widths.
    const std::string clip = R"(C:\kvdpi\clip.mp4)";
    f.Jobs().Append(kvtest::Checked(clip), "clip", 5);
    HWND list = f.Control("ListView1");
    RECT row{LVIR_BOUNDS};
    ASSERT_TRUE(ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS));
    const auto& columns = kv::ui::ListColumns();
    POINT name{Scale(columns[0].width + columns[1].width / 2, dpi), (row.top + row.bottom) / 2};
    ::MapWindowPoints(list, f.Handle(), &name, 1);
    ClickAt(f.Handle(), name);
    ASSERT_EQ(p.dialogs->opened.size(), 2u);
    EXPECT_EQ(p.dialogs->opened[1], clip);
    // The picture buttons (their shapes are DpiArt's).
    ClickAt(f.Handle(), MiddleOf(f, "EzRgnBtn3", dpi));
    EXPECT_EQ(converts, 1);
    ClickAt(f.Handle(), MiddleOf(f, "EzRgnBtn1", dpi));
    EXPECT_EQ(minimizes, 1);
    EXPECT_FALSE(::IsWindowVisible(f.Handle()));
    EXPECT_TRUE(::IsIconic(p.app.Handle()));
}

TEST(DpiChange, AMoveToAnotherDpiRescalesEverythingAndBackAgain) {
    Program p;
    kv::TfrmMain& f = *p.form;
    f.Show();
    kvtest::PumpFor(100);
    const int from = f.Dpi();
    ASSERT_EQ(from, PrefixDpi());
    const int to = from == 144 ? 192 : 144;
    // As Windows suggests it: the place on the new monitor, the size scaled.
    RECT suggested{40, 30, 40 + Scale(kv::ui::kClientWidth, to), 30 + Scale(kv::ui::kClientHeight, to)};
    ::SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    kvtest::PumpFor(100);
    EXPECT_EQ(f.Dpi(), to);
    RECT at{};
    ::GetWindowRect(f.Handle(), &at);
    EXPECT_EQ(at.left, 40);
    EXPECT_EQ(at.top, 30);
    ExpectLaidOutAt(f, to);
    ExpectArtAt(f, to);

    // 125 %, the one scale between the prefixes' two.
    RECT small{at.left, at.top, at.left + Scale(kv::ui::kClientWidth, 120), at.top + Scale(kv::ui::kClientHeight, 120)};
    ::SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&small));
    kvtest::PumpFor(100);
    ExpectLaidOutAt(f, 120);
    ExpectArtAt(f, 120);

    RECT back{at.left, at.top, at.left + Scale(kv::ui::kClientWidth, from),
              at.top + Scale(kv::ui::kClientHeight, from)};
    ::SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(from, from), reinterpret_cast<LPARAM>(&back));
    kvtest::PumpFor(100);
    ExpectLaidOutAt(f, from);
    ExpectArtAt(f, from);
}

// Between two art scales the larger art is reduced to the layout, and above
// the largest that one is enlarged: never cut, never short of the window. The
// picture buttons sit exactly at their places and the skin paints every pixel.
TEST(DpiChange, BetweenAndAboveTheArtScalesTheArtIsResampledToFit) {
    LoudBackdrop backdrop;
    Program p;
    kv::TfrmMain& f = *p.form;
    f.Show();
    backdrop.Under(f.Handle());
    for (const int dpi : {110, 336}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        RECT to{0, 0, Scale(kv::ui::kClientWidth, dpi), Scale(kv::ui::kClientHeight, dpi)};
        ::SendMessageW(f.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&to));
        LoudBackdrop::Repaint(f.Handle());
        ExpectLaidOutAt(f, dpi);
        ExpectArtAt(f, dpi);
        const RECT g = FormAccess::GraphicRect(f, "Image1");
        EXPECT_EQ(g.right - g.left, Scale(503, dpi));
        // Right of the controls, the rim a pixel inside the right edge; the
        // face a little further in. A background cut to fit would show the face
        // at both, one too small the backdrop.
        const int w = Scale(kv::ui::kClientWidth, dpi), y = Scale(187, dpi);  // between the buttons and the list
        constexpr std::uint32_t kFace = kv::ui::Rgb(220, 220, 220);
        EXPECT_NE(kvuitest::OnScreen(f.Handle(), w - 2, y), kFace);
        EXPECT_EQ(kvuitest::OnScreen(f.Handle(), w - Scale(20, dpi), y), kFace);
        ExpectEveryPixelPainted(f);
    }
}

}  // namespace
