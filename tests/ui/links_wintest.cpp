#include <gtest/gtest.h>

#include <windowsx.h>

#include "support/program.h"
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

}  // namespace
