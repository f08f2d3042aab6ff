// Adding files and folders: the window's side of the add commands.
#include "app/settings.h"
#include "ui/main_form.h"

namespace kv {

namespace {
constexpr UINT kPlainBox = MB_OK;  // application title, one "OK" button, no icon
}

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

void TfrmMain::Button1Click() { adder_->AddFileCommand(); }
void TfrmMain::Button2Click() { adder_->AddFolderCommand(); }
void TfrmMain::AddDroppedPaths(const std::vector<std::string>& paths) { adder_->AddDropped(paths); }

// The three boxes show paths but take no typing.
void TfrmMain::Edit1KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit2KeyPress(wchar_t& key) { key = 0; }
void TfrmMain::Edit3KeyPress(wchar_t& key) { key = 0; }

}  // namespace kv
