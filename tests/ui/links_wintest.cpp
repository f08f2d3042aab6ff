#include <gtest/gtest.h>

#include <windowsx.h>

#include <algorithm>
#include <array>

#include "support/checked.h"
#include "support/program.h"
#include "ui_test_util.h"
#include "ui/layout.h"

namespace {

using kvtest::Program;

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

TEST(Links, LabelsUnderlineUnderThePointerAndOpenTheirPages) {
    Program p;
    auto& f = *p.form;
    HWND w = f.Handle();
    const auto* support = kv::ui::FindControl("Label3");
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->caption, "Support");
    ::SendMessageW(w, WM_MOUSEMOVE, 0, At(support->left + 5, support->top + 5));
    EXPECT_TRUE(f.LinkUnderlined("Label3"));
    ::SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(support->left + 5, support->top + 5));
    ::SendMessageW(w, WM_LBUTTONUP, 0, At(support->left + 5, support->top + 5));
    ASSERT_EQ(p.dialogs->opened.size(), 1u);
    EXPECT_EQ(p.dialogs->opened[0], kv::ui::FindLink("Label3")->address);
    EXPECT_EQ(p.dialogs->openShows[0], SW_SHOW);
    EXPECT_TRUE(f.LinkUnderlined("Label3")) << "a click does not change the look";
    // Onto another label, then onto the bare face.
    const auto* l5 = kv::ui::FindControl("Label5");
    ::SendMessageW(w, WM_MOUSEMOVE, 0, At(l5->left + 2, l5->top + 2));
    EXPECT_FALSE(f.LinkUnderlined("Label3"));
    EXPECT_TRUE(f.LinkUnderlined("Label5"));
    ::SendMessageW(w, WM_MOUSEMOVE, 0, At(250, 300 - 200));
    EXPECT_FALSE(f.LinkUnderlined("Label5"));
    // A press on a plain caption opens nothing.
    ::SendMessageW(w, WM_LBUTTONUP, 0, At(20, 66));
    EXPECT_EQ(p.dialogs->opened.size(), 1u);
}

// A click is a press and a release on the same label: one page per click, and
// none for a press on one label released on another.
TEST(Links, APageOpensOnlyForAPressAndReleaseOnTheSameLabel) {
    Program p;
    HWND w = p.form->Handle();
    const auto* l3 = kv::ui::FindControl("Label3");
    const auto* l5 = kv::ui::FindControl("Label5");
    ::SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(l3->left + 5, l3->top + 5));
    ::SendMessageW(w, WM_LBUTTONUP, 0, At(l5->left + 2, l5->top + 2));
    EXPECT_TRUE(p.dialogs->opened.empty()) << "released on another label";
    ::SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(l5->left + 2, l5->top + 2));
    ::SendMessageW(w, WM_LBUTTONUP, 0, At(l3->left + 5, l3->top + 5));
    EXPECT_TRUE(p.dialogs->opened.empty()) << "pressed on another label";
    ::SendMessageW(w, WM_LBUTTONUP, 0, At(l3->left + 5, l3->top + 5));
    EXPECT_TRUE(p.dialogs->opened.empty()) << "a release with no press";
    ::SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(l3->left + 5, l3->top + 5));
    ::SendMessageW(w, WM_LBUTTONUP, 0, At(l3->left + 6, l3->top + 6));
    EXPECT_EQ(p.dialogs->opened.size(), 1u);
    // A double click is two clicks: the second press arrives as a double-click message.
    ::SendMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, At(l3->left + 5, l3->top + 5));
    ::SendMessageW(w, WM_LBUTTONUP, 0, At(l3->left + 5, l3->top + 5));
    EXPECT_EQ(p.dialogs->opened.size(), 2u);
}

TEST(Links, EveryLinkHasItsOwnPageAndThePanelsShareTheHomePage) {
    Program p;
    for (const char* panel : {"TranPanel1Click", "TranPanel2Click"}) ASSERT_TRUE(p.form->RunClick(panel));
    ASSERT_EQ(p.dialogs->opened.size(), 2u);
    EXPECT_EQ(p.dialogs->opened[0], p.dialogs->opened[1]);
    std::set<std::string> pages;
    for (int i = 1; i <= 7; ++i) {
        ASSERT_TRUE(p.form->RunClick("Label" + std::to_string(i) + "Click"));
        pages.insert(p.dialogs->opened.back());
    }
    EXPECT_EQ(pages.size(), 7u);
    EXPECT_FALSE(pages.count(p.dialogs->opened[0]));
}

TEST(ListColours, ClickableColumnsBlueUnderlinedOthersTheirOwn) {
    Program p;
    HWND list = p.form->Control("ListView1");
    HDC dc = ::GetDC(list);
    NMLVCUSTOMDRAW d{};
    d.nmcd.hdr.hwndFrom = list;
    d.nmcd.hdc = dc;
    d.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(p.form->d4_ListViewCustomDrawSubItem(d), CDRF_NOTIFYITEMDRAW);
    d.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    EXPECT_EQ(p.form->d4_ListViewCustomDrawSubItem(d), CDRF_NOTIFYSUBITEMDRAW);
    auto cell = [&](int column, UINT state) {
        d.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
        d.nmcd.uItemState = state;
        d.iSubItem = column;
        d.clrText = RGB(1, 2, 3);
        EXPECT_EQ(p.form->d4_ListViewCustomDrawSubItem(d), CDRF_NEWFONT);
        LOGFONTW lf{};
        ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
        EXPECT_EQ(d.nmcd.uItemState & CDIS_SELECTED, 0u) << "the selection colours are not put over them";
        return std::make_pair(d.clrText, lf.lfUnderline != 0);
    };
    for (UINT state : {0u, static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS)}) {
        EXPECT_EQ(cell(1, state), std::make_pair(RGB(0, 0, 255), true));
        EXPECT_EQ(cell(0, state), std::make_pair(::GetSysColor(COLOR_WINDOWTEXT), false)) << "reset after a link cell";
        EXPECT_EQ(cell(3, state), std::make_pair(RGB(0, 0, 255), true));
        EXPECT_EQ(cell(2, state), std::make_pair(RGB(0, 0, 0), false));
        EXPECT_EQ(cell(4, state), std::make_pair(RGB(0, 0, 255), true));
    }
    ::ReleaseDC(list, dc);
}

// Drawn by the list itself: the selected, focused row shows the same blue and
// black text on the list's own background as any other row, no selection colour.
TEST(ListColours, TheSelectedRowKeepsItsColours) {
    Program p;
    p.form->Show();
    p.form->Jobs().Append(kvtest::Checked(R"(C:\kvsel\a file name long enough.mp4)"), "a file name long enough", 5);
    p.form->Jobs().Append(kvtest::Checked(R"(C:\kvsel\another file name.mp4)"), "another file name", 5);
    HWND list = p.form->Control("ListView1");
    ::SetFocus(list);
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ::UpdateWindow(list);
    kvtest::PumpFor(100);
    const kv::ui::TPixmap shown = kvuitest::Printed(list);
    const std::uint32_t highlight = kvuitest::FromColorRef(::GetSysColor(COLOR_HIGHLIGHT));
    const std::uint32_t window = kvuitest::FromColorRef(::GetSysColor(COLOR_WINDOW));
    auto cells = [&](int row, int column) {
        RECT r{};
        ListView_GetSubItemRect(list, row, column, LVIR_LABEL, &r);
        int blue = 0, black = 0, selection = 0, background = 0;
        for (int y = std::max(0L, r.top) + 2; y < std::min<LONG>(r.bottom, shown.height) - 2; ++y)
            for (int x = std::max(0L, r.left) + 2; x < std::min<LONG>(r.right, shown.width) - 2; ++x) {
                const std::uint32_t c = shown.At(x, y);
                blue += c == kv::ui::Rgb(0, 0, 255);
                black += c == 0;
                selection += c == highlight;
                background += c == window;
            }
        return std::array<int, 4>{blue, black, selection, background};
    };
    for (int row : {0, 1}) {
        SCOPED_TRACE(row == 0 ? "selected" : "not selected");
        const auto name = cells(row, 1), progress = cells(row, 2);
        EXPECT_GT(name[0], 5) << "blue file name";
        EXPECT_GT(progress[1], 5) << "black progress";
        EXPECT_EQ(name[2] + progress[2], 0) << "no selection colour";
        EXPECT_GT(name[3], name[0]) << "the list's own background";
    }
}

}  // namespace
