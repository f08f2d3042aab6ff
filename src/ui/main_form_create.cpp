// Start-up of the main window: folders, settings and the tool files.
#include "win/error.h"
#include "app/runner_text.h"
#include "app/process_runner.h"
#include "app/settings.h"
#include "app/tool_install.h"
#include "ui/main_form.h"

namespace kv {

void TfrmMain::FormCreate() {
    TempDir = GetTempFolder();
    Busy = false;
    adder_->SetLastFolder("");
    WorkDir = CollapseDoubleBackslashes(GetDocumentsFolder() + "\\Korvello\\");
    const std::string defaultWorkDir = WorkDir;
    AppDir = CollapseDoubleBackslashes(GetAppDataFolder() + "\\Korvello\\");

    GuardedStep([this] {  // settings may be unwritable; the program still runs
        RegistryKey key(kSettingsKey);
        if (!key.ValueExists("WorkDir")) key.WriteString("WorkDir", WorkDir);
        key.WriteString("AppDir", AppDir);
    });

    if (!DirectoryExists(WorkDir)) CreateDir(WorkDir);
    if (!DirectoryExists(AppDir)) CreateDir(AppDir);

    GuardedStep([this] {  // reading needs no write access, so a locked-down key still gives the folder
        RegistryKey key(kSettingsKey, RegistryKey::Access::Read);
        if (key.ValueExists("WorkDir")) {
            SetControlText("Edit4", key.ReadString("WorkDir"));
            const std::string stored = ControlText("Edit4");
            if (!DirectoryExists(stored)) CreateDir(stored);
        }
    });

    // Without a readable setting the MP3 files would go to the root of the
    // current drive; the default folder made above is the one to use instead.
    if (ControlText("Edit4").empty()) SetControlText("Edit4", defaultWorkDir);
    SetControlText("Edit3", ControlText("Edit4"));
    WorkDir = ControlText("Edit3");

    for (const auto& tool : kToolFiles) {
        const std::string target = AppDir + tool.fileName;
        try {
            WriteResourceFile(options_.resourceModule, tool.resource, target);
        } catch (const ResourceNotFound&) {
            throw;  // a program without its tools cannot run: not a guarded step
        } catch (const Error&) {
            // Guarded: a file in use keeps its old contents.
        }
        if (std::string_view(tool.fileName) == "mediainfo.exe") MediaInfoPath = ShortName(target);
        AddFileAttributes(target, FILE_ATTRIBUTE_HIDDEN);
    }
    FfmpegPath = ShortName(AppDir + "ffmpeg.exe");
}

}  // namespace kv
