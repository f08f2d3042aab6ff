// Adding files and folders: the buttons, the boxes' keys and the hand-overs
// of other copies.
#include "app/handover.h"
#include "ui/main_form_win.h"
#include "win/text.h"

namespace kv {

void TfrmMain::Button1Click() { controller_->AddFile(); }
void TfrmMain::Button2Click() { controller_->AddFolder(); }

// The three boxes show paths but take no typing.
void TfrmMain::Edit1KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit2KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit3KeyPress(wchar_t& key) { key = 0; }

bool TfrmMain::HandOverPaths(const std::vector<std::string>& paths, bool convert) {
    return controller_->HandOver(paths, convert);
}

// Any program on the desktop can send this message: nothing in it is trusted.
bool TfrmMain::TakeCopyData(const COPYDATASTRUCT* data) {
    // A window that is going away takes nothing: the sender tells its user.
    if (destroyed_ || !controller_) return false;
    if (!data || !data->lpData || data->cbData < 2 * sizeof(char16_t)) return false;
    const std::optional<HandOverKind> kind = HandOverKindOf(data->dwData);
    // One the sender no longer waits for: it has told its user the files were not added.
    if (!kind || !StillWanted(*kind, ::GetTickCount())) return false;
    const std::vector<std::u16string> unpacked = UnpackHandOver(data->lpData, data->cbData);
    std::vector<std::string> paths;
    paths.reserve(unpacked.size());
    for (const auto& p : unpacked) paths.push_back(win::Narrow(std::wstring(p.begin(), p.end())));
    // Answered at once: the files themselves are looked at once the sender has
    // its answer (a slow share must not make it give up while they are added),
    // and those that give no row are named then. A block of which no path
    // could name a file takes nothing: the sender tells its user.
    return !PlausiblePaths(paths).empty() && HandOverPaths(paths, kind->convert);
}

}  // namespace kv
