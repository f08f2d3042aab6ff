// Adding files and folders to the job list.
#include "app/runner_text.h"
#include "app/settings.h"
#include "components/FindFile.h"
#include "convert/job_rules.h"
#include "ui/main_form.h"

namespace kv {

namespace {
constexpr UINT kPlainBox = MB_OK;  // application title, one "OK" button, no icon
}

// One probed file; false when the probe gave no answer (already reported).
bool TfrmMain::AddOneFile(const std::string& path) {
    const auto answer = ProbeAnswer(path);
    if (!answer) {
        Dialogs().MessageBox(Handle(), std::string(kBadFileMessage), app_.Title(), kPlainBox);
        return false;
    }
    SetControlText("Edit1", path);
    const int duration = ProbeDuration(*answer);
    jobs_->Append(path, DisplayName(path), duration);
    return true;
}

// Every MP4 file of one folder, stopping at the first unusable one.
bool TfrmMain::AddFolder(const std::string& folder) {
    LastFolder = folder;
    SetControlText("Edit2", folder);
    FindFile1->Files().clear();
    FindFile1->SetDirectory(folder);
    FindFile1->Execute();
    const std::vector<std::string> files = FindFile1->Files();
    for (const auto& path : files) {
        const auto answer = ProbeAnswer(path);
        if (!answer) {
            Dialogs().MessageBox(Handle(), BadFolderFileMessage(FileNamePart(path)), app_.Title(), kPlainBox);
            return false;
        }
        const int duration = ProbeDuration(*answer);
        jobs_->Append(path, DisplayName(path), duration);
    }
    return true;
}

void TfrmMain::Button1Click() {
    if (Busy) return;
    const auto path = Dialogs().OpenFile(Handle(), {"MP4 Files|*.mp4", "mp4"});
    if (!path) return;
    AddOneFile(*path);
}

void TfrmMain::Button2Click() {
    if (Busy) return;
    const std::string folder = Dialogs().BrowseForFolder(Handle(), "Select Output Folder", LastFolder, false);
    if (folder.empty()) return;
    AddFolder(folder);
}

void TfrmMain::AddDroppedPaths(const std::vector<std::string>& paths) {
    if (Busy) return;
    for (const auto& p : paths) {
        if (DirectoryExists(p)) {
            if (!AddFolder(p)) return;
        } else {
            const std::string name = FileNamePart(p);
            if (name.size() < 4 || !SameTextAscii(name.substr(name.size() - 4), ".mp4")) continue;
            if (!AddOneFile(p)) return;
        }
    }
}

// The three boxes show paths but take no typing.
void TfrmMain::Edit1KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit2KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit3KeyPress(wchar_t& key) { key = 0; }

}  // namespace kv
