// The job list's handlers (main_form_list_win.cpp, through the controller): removing rows and opening a
// row's files.
#include <gtest/gtest.h>

#include <windowsx.h>

#include "app/runner_text.h"
#include "support/form_fixture.h"

namespace {

namespace fs = std::filesystem;
using kvtest::FormAccess;
using kvtest::TempFolder;

using MainFormList = kvtest::FormTest;

TEST_F(MainFormList, DeleteKeyRemovesAnyRowAndKeepsListsAligned) {
    const fs::path src = kvtest::MediaFile("aac_mono_48k.mp4");
    TempFolder dir;
    for (const wchar_t* n : {L"a.mp4", L"b.mp4", L"c.mp4"}) AddFile(src, dir.Path() / n);
    SetState(1, kv::JobState::Done);
    Select(1);
    WORD key = 'A';
    f->ListView1KeyDown(key, 0);
    EXPECT_EQ(Jobs().Count(), 3);
    key = VK_DELETE;
    f->ListView1KeyDown(key, 0);
    ASSERT_EQ(Jobs().Count(), 2);
    EXPECT_EQ(Cell(1, 1), "c");
    EXPECT_EQ(kv::FileNamePart(Jobs().Path(1)), "c.mp4");
    ExpectAligned();
    // Nothing selected: nothing happens.
    ListView_SetItemState(Rows().ListView(), -1, 0, LVIS_SELECTED);
    f->ListView1KeyDown(key, 0);
    EXPECT_EQ(Jobs().Count(), 2);
}

TEST_F(MainFormList, RowClicksFollowTheColumnsAndTheStatus) {
    const fs::path src = kvtest::MediaFile("aac_mono_48k.mp4");
    TempFolder dir;
    AddFile(src, dir.Path() / L"a.mp4");
    AddFile(src, dir.Path() / L"b.mp4");
    TempFolder out(L"kv out");
    FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    f->Show();
    kvtest::PumpFor(200);
    HWND list = Rows().ListView();
    RECT item;
    ListView_GetItemRect(list, 0, &item, LVIR_BOUNDS);
    auto clickAt = [&](int row, int x) {
        Select(row);
        ListView_GetItemRect(list, row, &item, LVIR_BOUNDS);
        POINT screen{x, (item.top + item.bottom) / 2};
        ::ClientToScreen(list, &screen);
        ::SetCursorPos(screen.x, screen.y);
        kvtest::PumpFor(50);
        f->ListView1Click();
    };
    clickAt(0, 100);  // file name column
    ASSERT_EQ(p->dialogs->opened.size(), 1u);
    EXPECT_EQ(p->dialogs->opened[0], Jobs().Path(0));
    clickAt(0, 300);  // converted-file column of a pending row
    EXPECT_EQ(p->dialogs->opened.size(), 1u);
    SetState(0, kv::JobState::Done);
    clickAt(0, 300);
    ASSERT_EQ(p->dialogs->opened.size(), 2u);
    EXPECT_EQ(p->dialogs->opened[1], kvtest::Utf8(out.Path()) + "\\");
    clickAt(0, 430);  // DEL on a finished row: stays
    EXPECT_EQ(Jobs().Count(), 2);
    clickAt(1, 430);  // DEL on a pending row: goes
    EXPECT_EQ(Jobs().Count(), 1);
    ExpectAligned();
    MakeBusy();
    clickAt(0, 100);
    EXPECT_EQ(p->dialogs->opened.size(), 2u);
    EndBusy();
}

// Real pointer messages to the list view: the list itself selects the row and
// tells the window, which reads where the pointer was.
TEST_F(MainFormList, ClicksReachTheHandlerThroughTheListViewsOwnNotice) {
    const fs::path src = kvtest::MediaFile("aac_mono_48k.mp4");
    TempFolder dir;
    AddFile(src, dir.Path() / L"a.mp4");
    AddFile(src, dir.Path() / L"b.mp4");
    f->Show();
    kvtest::PumpFor(200);
    HWND list = Rows().ListView();
    auto click = [&](int row, int x) {
        RECT item{};
        ListView_GetItemRect(list, row, &item, LVIR_BOUNDS);
        const int y = (item.top + item.bottom) / 2;
        POINT screen{x, y};
        ::ClientToScreen(list, &screen);
        ::SetCursorPos(screen.x, screen.y);
        ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        kvtest::PumpFor(300);
    };
    ASSERT_EQ(Rows().Selected(), -1);
    click(1, 100);  // the second row's file name
    EXPECT_EQ(Rows().Selected(), 1);
    ASSERT_EQ(p->dialogs->opened.size(), 1u);
    EXPECT_EQ(p->dialogs->opened[0], kvtest::Utf8(dir.Path() / L"b.mp4"));
    click(0, 430);  // DEL on the first, pending row
    ASSERT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(Cell(0, 1), "b");
    EXPECT_EQ(p->dialogs->opened.size(), 1u);
    ExpectAligned();
}

}  // namespace
