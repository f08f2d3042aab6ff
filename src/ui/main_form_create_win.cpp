// Start-up of the main window: the controller's folders, then the tool files.
#include "app/settings_win.h"
#include "convert/part_files.h"
#include "ui/main_form_win.h"
#include "win/error.h"

namespace kv {

void TfrmMain::FormCreate() {
    controller_->Start({GetTempFolder(), GetDocumentsFolder(), GetAppDataFolder()});
    InstallTools();
    SweepLeftovers();
}

// Temporary MP3s of copies that crashed or were ended with the session: in
// the output folder and wherever the last runs wrote.
void TfrmMain::SweepLeftovers() {
    std::vector<std::string> folders{controller_->Dirs().WorkDir};
    GuardedStep([&] {
        for (const std::string& f : RememberedPartFolders()) folders.push_back(f);
    });
    GuardedStep([&] { SweepStalePartsLater(std::move(folders)); });
}

// The first problem with the tools is told once the window shows.
void TfrmMain::InstallTools() {
    tools_.Install(options_.resourceModule, controller_->Dirs().AppDir);
    controller_->SetTools(tools_.FfmpegPath(), tools_.MediaInfoPath());
}

}  // namespace kv
