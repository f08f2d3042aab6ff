#pragma once
// Everything the window asks of the user or hands to the shell goes through
// this interface, so in-process tests can answer in the user's place.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

struct OpenFileRequest {
    std::string filter;            // "MP4 Files|*.mp4"
    std::string defaultExtension;  // "mp4"
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // MessageBoxW with the given flags; the button pressed.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
    // The file dialog; nothing on cancel.
    virtual std::optional<std::string> OpenFile(HWND owner, const OpenFileRequest& request) = 0;
    // The folder picker; empty on cancel.
    virtual std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialFolder,
                                        bool allowNewFolder) = 0;
    // The shell's "open" verb on a file, folder or web address.
    virtual void ShellOpen(HWND owner, const std::string& target, int show = SW_SHOWNORMAL) = 0;
};

// The real dialogs of the system.
std::unique_ptr<IDialogs> MakeSystemDialogs();

// The paths of a drop, as UTF-8; the drop is finished (its memory freed).
std::vector<std::string> DroppedPaths(HDROP drop);

}  // namespace kv
