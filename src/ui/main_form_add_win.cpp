// Adding files and folders: the window's side of the add commands.
#include <algorithm>

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
void TfrmMain::AddDroppedPaths(const std::vector<std::string>& paths) {
    if (adder_) (void)adder_->AddDropped(paths);  // a drop past the queue's bound is dropped
}

void TfrmMain::AddHost::RowAdded(std::uint64_t request, std::int64_t jobId) {
    form_.autoConvert_.RowAdded(request, jobId);
}

// Before the add commands exist (a hand-over while the window still starts)
// the paths wait in the queue; the constructor schedules them once they do.
bool TfrmMain::HandOverPaths(const std::vector<std::string>& paths, bool convert) {
    if (paths.empty()) return true;
    // A hand-over refused for want of room neither makes nor postpones a run.
    const std::size_t waiting = adder_ ? adder_->HandedOverCount() : kept_.Size();
    if (paths.size() > kMaxHandOverEntries - std::min(waiting, kMaxHandOverEntries)) return false;
    // Every arrival postpones a waiting run: the files of one selection come one by one.
    const std::uint64_t now = win::AwakeMs();
    std::uint64_t request = 0;
    if (convert)
        request = autoConvert_.Request(now);
    else
        autoConvert_.Arrived(now);
    std::vector<HandedPath> handed;
    for (const auto& p : paths) handed.push_back({p, request});
    const bool kept = adder_ ? adder_->HandOver(paths, request) : kept_.Push(handed);
    if (autoConvert_.Pending()) ::SetTimer(Handle(), kAutoConvertTimer, kAutoConvertPollMs, nullptr);
    return kept;
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
    const std::optional<HandOverKind> kind = HandOverKindOf(data->dwData);
    // One the sender no longer waits for: it has told its user the files were not added.
    if (!kind || !StillWanted(*kind, ::GetTickCount())) return false;
    const bool convert = kind->convert;
    const std::vector<std::u16string> unpacked = UnpackHandOver(data->lpData, data->cbData);
    if (unpacked.empty()) return false;
    std::vector<std::string> paths;
    paths.reserve(unpacked.size());
    for (const auto& p : unpacked) paths.push_back(win::Narrow(std::wstring(p.begin(), p.end())));
    // Answered at once: the files themselves are looked at once the sender has
    // its answer (a slow share must not make it give up while they are added),
    // and those that give no row are named then. A block of which no path
    // could name a file takes nothing: the sender tells its user.
    return !PlausiblePaths(paths).empty() && HandOverPaths(paths, convert);
}

// The three boxes show paths but take no typing.
void TfrmMain::Edit1KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit2KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit3KeyPress(wchar_t& key) { key = 0; }

}  // namespace kv
