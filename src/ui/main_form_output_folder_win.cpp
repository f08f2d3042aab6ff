// Choosing the output folder; the choice is saved at once for later runs.
#include "app/settings_win.h"
#include "ui/main_form_win.h"
#include "win/error.h"

namespace kv {

void TfrmMain::Button3Click() {
    if (runState_.Busy) return;
    const std::string folder = Dialogs().BrowseForFolder(Handle(), "Select Output Folder", adder_->LastFolder(), false);
    if (folder.empty()) return;
    // A folder the border check refuses could never take an MP3.
    const auto checked = CheckPath(folder, FileSystemLookup::Instance());
    if (!checked || !checked->IsFolder()) return;
    GuardedStep([&] {  // an unwritable setting leaves everything as it was
        RegistryKey key(kSettingsKey);
        key.WriteString("WorkDir", folder);
        SetControlText("Edit4", folder);
        SetControlText("Edit3", ControlText("Edit4"));
        WorkDir = ControlText("Edit3");
    });
}

}  // namespace kv
