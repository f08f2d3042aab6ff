// Adding files and folders: the window's side of the add commands.
#include "app/handover.h"
#include "app/settings_win.h"
#include "ui/main_form_win.h"
#include "win/clock.h"
#include "win/text.h"

namespace kv {

namespace {
constexpr UINT kPlainBox = MB_OK;  // application title, one "OK" button, no icon
constexpr UINT kHandOverRetryMs = 250;
constexpr UINT kAutoConvertPollMs = 250;
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

std::optional<CheckedPath> TfrmMain::AddHost::Check(const std::string& raw) const {
    return CheckPath(raw, FileSystemLookup::Instance());
}

void TfrmMain::AddHost::ScheduleHandedOver() { ::PostMessageW(form_.Handle(), kAddHandedOverMessage, 0, 0); }

void TfrmMain::Button1Click() { adder_->AddFileCommand(); }
void TfrmMain::Button2Click() { adder_->AddFolderCommand(); }
std::vector<CheckedPath> TfrmMain::CheckPaths(const std::vector<std::string>& paths) const {
    std::vector<CheckedPath> checked;
    for (const auto& p : paths)
        if (auto c = CheckPath(p, FileSystemLookup::Instance())) checked.push_back(std::move(*c));
    return checked;
}

void TfrmMain::AddDroppedPaths(const std::vector<std::string>& paths) {
    if (adder_) (void)adder_->AddDropped(CheckPaths(paths));  // a drop past the queue's bound is dropped
}

// Before the add commands exist (a hand-over while the window still starts)
// the paths wait in the queue; the constructor schedules them once they do.
bool TfrmMain::HandOverPaths(const std::vector<std::string>& paths, bool convert) {
    const std::vector<CheckedPath> checked = CheckPaths(paths);
    if (!(adder_ ? adder_->HandOver(checked) : kept_.Push(checked))) return false;
    if (checked.empty()) return true;
    // Every arrival postpones a waiting run: the files of one selection come one by one.
    const std::uint64_t now = win::AwakeMs();
    if (convert)
        autoConvert_.Request(now, jobs_->NextId());
    else
        autoConvert_.Arrived(now);
    if (autoConvert_.Pending()) ::SetTimer(Handle(), kAutoConvertTimer, kAutoConvertPollMs, nullptr);
    return true;
}

// A message box or picker of this window disables it; the paths wait for it
// to close rather than adding rows and messages behind it.
void TfrmMain::AddHandedOver() {
    ::KillTimer(Handle(), kHandOverRetryTimer);
    if (!adder_ || adder_->HandedOverCount() == 0) return;
    if (!::IsWindowEnabled(Handle())) {
        ::SetTimer(Handle(), kHandOverRetryTimer, kHandOverRetryMs, nullptr);
        return;
    }
    adder_->AddHandedOver();
}

// Any program on the desktop can send this message: nothing in it is trusted.
bool TfrmMain::TakeCopyData(const COPYDATASTRUCT* data) {
    // A window that is going away takes nothing: the sender tells its user.
    if (destroyed_) return false;
    if (!data || !data->lpData || data->cbData < 2 * sizeof(char16_t)) return false;
    const bool convert = data->dwData == kHandOverConvertTag;
    if (data->dwData != kHandOverTag && !convert) return false;
    const std::vector<std::u16string> unpacked = UnpackHandOver(data->lpData, data->cbData);
    if (unpacked.empty()) return false;
    std::vector<std::string> paths;
    paths.reserve(unpacked.size());
    for (const auto& p : unpacked) paths.push_back(win::Narrow(std::wstring(p.begin(), p.end())));
    return HandOverPaths(paths, convert);
}

// The three boxes show paths but take no typing.
void TfrmMain::Edit1KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit2KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit3KeyPress(wchar_t& key) { key = 0; }

}  // namespace kv
