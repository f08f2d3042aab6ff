// Choosing the output folder (Button3Click in main_form_run_win.cpp, through the controller).
#include <gtest/gtest.h>

#include "app/settings_win.h"
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

}  // namespace
