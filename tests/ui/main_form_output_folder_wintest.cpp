// Choosing the output folder (Button3Click in main_form_run_win.cpp, through the
// controller) or the place beside each source; the word that a run has ended.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "app/settings_win.h"
#include "ui/choice_menu.h"
#include "support/form_fixture.h"

namespace {

namespace fs = std::filesystem;
using kvtest::FormAccess;
using kvtest::TempFolder;

using MainFormOutputFolder = kvtest::FormTest;

TEST_F(MainFormOutputFolder, BrowseSavesTheOutputFolder) {
    TempFolder dir(L"kv out");
    const std::string chosen = kvtest::Utf8(dir.Path());
    FormAccess::Adder(*f).SetLastFolder("C:\\from add folder");
    p->dialogs->folderAnswers.push_back(chosen);
    f->Button3Click();
    EXPECT_EQ(p->dialogs->folderAsks[0].initial, "C:\\from add folder");
    EXPECT_EQ(FormAccess::WorkDir(*f), chosen);
    EXPECT_EQ(f->ControlText("Edit3"), chosen);
    EXPECT_EQ(f->ControlText("Edit4"), chosen);
    EXPECT_EQ(kv::RegistryKey(kv::kSettingsKey).ReadString("WorkDir"), chosen);
    f->Button3Click();  // cancelled
    EXPECT_EQ(FormAccess::WorkDir(*f), chosen);
}

// Beside each source: the box says so and takes no typing; Browse makes the folder the place again.
TEST_F(MainFormOutputFolder, BesideIsShownUntilAFolderIsChosen) {
    const std::string folder = f->ControlText("Edit3");
    ::SendMessageW(f->Handle(), WM_COMMAND, MAKEWPARAM(kv::ui::kPlaceCommand + 16, 0), 0);
    EXPECT_TRUE(FormAccess::Choices(*f).beside);
    EXPECT_EQ(f->ControlText("Edit3"), "Beside each source file");
    EXPECT_EQ(f->ControlText("Edit4"), folder) << "the folder stays stored";
    EXPECT_EQ(kv::RegistryKey(kv::kSettingsKey).ReadString("OutputPlace"), "beside");
    ::SendMessageW(f->Control("Edit3"), WM_CHAR, L'x', 0);
    EXPECT_EQ(f->ControlText("Edit3"), "Beside each source file");
    TempFolder dir(L"kv out");
    p->dialogs->folderAnswers.push_back(kvtest::Utf8(dir.Path()));
    f->Button3Click();
    EXPECT_FALSE(FormAccess::Choices(*f).beside);
    EXPECT_EQ(f->ControlText("Edit3"), kvtest::Utf8(dir.Path()));
    EXPECT_EQ(kv::RegistryKey(kv::kSettingsKey).ReadString("OutputPlace"), "folder");
}

// A run that ends behind other windows is told in a notification; a click on
// it brings the window forward. In front, or when turned off, nothing is shown.
TEST_F(MainFormOutputFolder, ARunEndingBehindOtherWindowsIsNotified) {
    const HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                         nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(other);
    ::SetForegroundWindow(other);
    ASSERT_NE(::GetForegroundWindow(), f->Handle());
    FormAccess::RunEnded(*f, {2, 1, 1}, false);
    EXPECT_FALSE(FormAccess::Notice(*f).Shown()) << "turned off";
    FormAccess::RunEnded(*f, {2, 1, 1}, true);
    ASSERT_TRUE(FormAccess::Notice(*f).Shown());
    EXPECT_EQ(FormAccess::Notice(*f).Text(), "Done: 2, Skipped: 1, Failed: 1. Click a Failed row to see why.");
    ::SendMessageW(f->Handle(), FormAccess::NoticeMessage(), 0, MAKELPARAM(NIN_BALLOONUSERCLICK, 0));
    EXPECT_FALSE(FormAccess::Notice(*f).Shown()) << "the icon goes with the balloon";
    EXPECT_EQ(::GetForegroundWindow(), f->Handle());
    FormAccess::RunEnded(*f, {1, 0, 0}, true);
    EXPECT_FALSE(FormAccess::Notice(*f).Shown()) << "the user is looking at the window";
    ::DestroyWindow(other);
}

}  // namespace
