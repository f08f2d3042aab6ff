// Start-up of the main window: the controller's folders, then the tool files.
#include <map>

#include "app/process_runner_win.h"
#include "app/settings_win.h"
#include "app/tool_install_win.h"
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

// Each tool is written, read back and held; a path to run is kept only for a
// program that passed together with the libraries it loads. The first
// problem is told once the window shows.
void TfrmMain::InstallTools() {
    toolLocks_.clear();
    toolProblem_.clear();
    const std::string& appDir = controller_->Dirs().AppDir;
    std::map<std::string_view, bool> ok;
    for (const auto& tool : kToolFiles) {
        // A program without its tools cannot run: a missing resource is no guarded step.
        const auto bytes = ToolResource(options_.resourceModule, tool.resource);
        std::string why = "The folder for Korvello's tools could not be found.";
        std::optional<win::UniqueFile> held;
        if (!appDir.empty()) held = InstallToolFile(bytes, appDir + tool.fileName, why);
        ok[tool.fileName] = held.has_value();
        if (held)
            toolLocks_.push_back(std::move(*held));
        else if (toolProblem_.empty())
            toolProblem_ = ToolProblemText(tool.fileName, appDir, why);
    }
    const bool reader = ok["mediainfo.dll"] && ok["mediainfo.exe"];
    const bool transcoder = ok["cygwin1.dll"] && ok["cygz.dll"] && ok["ffmpeg.exe"];
    controller_->SetTools(transcoder ? ShortName(appDir + "ffmpeg.exe") : std::string(),
                          reader ? ShortName(appDir + "mediainfo.exe") : std::string());
}

}  // namespace kv
