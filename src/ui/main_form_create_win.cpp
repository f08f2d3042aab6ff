// Start-up of the main window: folders, settings and the tool files.
#include <map>

#include "win/error.h"
#include "app/checked_path.h"
#include "app/runner_text.h"
#include "app/process_runner_win.h"
#include "app/settings_win.h"
#include "app/tool_install_win.h"
#include "convert/part_files.h"
#include "ui/main_form_win.h"

namespace kv {

namespace {

// A special folder + "\Korvello\"; empty when the shell could not name the
// folder, so that nothing lands in "\Korvello\" at the root of a drive.
std::string KorvelloFolderIn(const std::string& special) {
    if (special.empty()) return {};
    return CollapseDoubleBackslashes(special + "\\Korvello\\");
}

}  // namespace

void TfrmMain::FormCreate() {
    TempDir = GetTempFolder();
    runState_.Busy = false;
    adder_->SetLastFolder("");
    WorkDir = KorvelloFolderIn(GetDocumentsFolder());
    const std::string defaultWorkDir = WorkDir;
    AppDir = KorvelloFolderIn(GetAppDataFolder());

    GuardedStep([this] {  // settings may be unwritable; the program still runs
        RegistryKey key(kSettingsKey);
        if (!key.ValueExists("WorkDir") && !WorkDir.empty()) key.WriteString("WorkDir", WorkDir);
        if (!AppDir.empty()) key.WriteString("AppDir", AppDir);
    });

    if (!WorkDir.empty() && !DirectoryExists(WorkDir)) CreateDir(WorkDir);
    if (!AppDir.empty() && !DirectoryExists(AppDir)) CreateDir(AppDir);

    GuardedStep([this] {  // reading needs no write access, so a locked-down key still gives the folder
        RegistryKey key(kSettingsKey, RegistryKey::Access::Read);
        if (key.ValueExists("WorkDir")) {
            SetControlText("Edit4", key.ReadString("WorkDir"));
            const std::string stored = ControlText("Edit4");
            if (IsUsableFolderSetting(stored) && !DirectoryExists(stored)) CreateDir(stored);
        }
    });

    // A stored folder that is blank, relative, no name Windows can hold or
    // not a folder even after the attempt to create it is not used for this
    // start (the MP3 files would go to the root of a drive, or wherever the
    // transcoder's folder is): the default folder made above is used instead.
    // The setting itself is left as the user stored it.
    const std::string stored = ControlText("Edit4");
    if (stored.empty()) SetControlText("Edit4", defaultWorkDir);
    const bool usable = IsUsableFolderSetting(stored) && DirectoryExists(stored);
    SetControlText("Edit3", usable ? stored : defaultWorkDir);
    WorkDir = ControlText("Edit3");

    InstallTools();
    SweepLeftovers();
}

// Temporary MP3s of copies that crashed or were ended with the session: in
// the output folder and wherever the last runs wrote.
void TfrmMain::SweepLeftovers() {
    std::vector<std::string> folders{WorkDir};
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
    std::map<std::string_view, bool> ok;
    for (const auto& tool : kToolFiles) {
        // A program without its tools cannot run: a missing resource is no guarded step.
        const auto bytes = ToolResource(options_.resourceModule, tool.resource);
        std::string why = "The folder for Korvello's tools could not be found.";
        std::optional<win::UniqueFile> held;
        if (!AppDir.empty()) held = InstallToolFile(bytes, AppDir + tool.fileName, why);
        ok[tool.fileName] = held.has_value();
        if (held)
            toolLocks_.push_back(std::move(*held));
        else if (toolProblem_.empty())
            toolProblem_ = ToolProblemText(tool.fileName, AppDir, why);
    }
    const bool reader = ok["mediainfo.dll"] && ok["mediainfo.exe"];
    const bool transcoder = ok["cygwin1.dll"] && ok["cygz.dll"] && ok["ffmpeg.exe"];
    MediaInfoPath = reader ? ShortName(AppDir + "mediainfo.exe") : std::string();
    FfmpegPath = transcoder ? ShortName(AppDir + "ffmpeg.exe") : std::string();
}

}  // namespace kv
