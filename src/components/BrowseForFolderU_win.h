#pragma once
// BrowseForFolder: the shell's modal folder dialog.
#include <windows.h>

#include <string>

namespace kv {

// Shows the dialog over `owner` with `title` as its instruction, `initialFolder`
// selected (none when empty) and a button for a new folder only when asked.
// Returns the chosen folder's path (UTF-8), or "" when the user cancelled or
// the chosen item is not a file-system folder. Blocks until the dialog closes.
std::string BrowseForFolder(const std::string& title, const std::string& initialFolder = {},
                            bool allowNewFolder = false, HWND owner = nullptr);

namespace detail {
// The dialog's callback: once the dialog is up, selects the folder that `data`
// points to (a const std::wstring). Ignores every other notification; returns 0.
int CALLBACK BrowseSelectionCallback(HWND dialog, UINT notification, LPARAM param, LPARAM data);
}  // namespace detail

}  // namespace kv
