// Adding files and folders: the window's side of the add commands.
#include "app/handover.h"
#include "app/settings.h"
#include "ui/main_form.h"
#include "win/text.h"

namespace kv {

namespace {
constexpr UINT kPlainBox = MB_OK;  // application title, one "OK" button, no icon
constexpr UINT kHandOverRetryMs = 250;
}  // namespace

std::optional<std::string> TfrmMain::AddHost::AskForFile() {
    return form_.Dialogs().OpenFile(form_.Handle(), {"MP4 Files|*.mp4", "mp4"});
}

std::string TfrmMain::AddHost::AskForFolder(const std::string& initial) {
    return form_.Dialogs().BrowseForFolder(form_.Handle(), "Select Output Folder", initial, false);
}

void TfrmMain::AddHost::Tell(const std::string& text) {
    form_.Dialogs().MessageBox(form_.Handle(), text, form_.app_.Title(), kPlainBox);
}

bool TfrmMain::AddHost::IsFolder(const std::string& path) const { return DirectoryExists(path); }

void TfrmMain::AddHost::ScheduleHandedOver() { ::PostMessageW(form_.Handle(), kAddHandedOverMessage, 0, 0); }

void TfrmMain::Button1Click() { adder_->AddFileCommand(); }
void TfrmMain::Button2Click() { adder_->AddFolderCommand(); }
void TfrmMain::AddDroppedPaths(const std::vector<std::string>& paths) { adder_->AddDropped(paths); }
void TfrmMain::HandOverPaths(const std::vector<std::string>& paths) { adder_->HandOver(paths); }

// A message box or picker of this window disables it; the paths wait for it
// to close rather than adding rows and messages behind it.
void TfrmMain::AddHandedOver() {
    ::KillTimer(Handle(), kHandOverRetryTimer);
    if (adder_->HandedOverCount() == 0) return;
    if (!::IsWindowEnabled(Handle())) {
        ::SetTimer(Handle(), kHandOverRetryTimer, kHandOverRetryMs, nullptr);
        return;
    }
    adder_->AddHandedOver();
}

bool TfrmMain::TakeCopyData(const COPYDATASTRUCT& data) {
    if (data.dwData != kHandOverTag) return false;
    std::vector<std::string> paths;
    for (const auto& p : UnpackHandOver(data.lpData, data.cbData))
        paths.push_back(win::Narrow(std::wstring(p.begin(), p.end())));
    HandOverPaths(paths);
    return true;
}

// The three boxes show paths but take no typing.
void TfrmMain::Edit1KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit2KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit3KeyPress(wchar_t& key) { key = 0; }

}  // namespace kv
