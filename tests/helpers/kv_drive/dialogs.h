#pragma once
// The commands that add files and folders through the program's own dialogs,
// and the one that converts.
#include <optional>
#include <string>
#include <vector>

namespace kvdrive {

// Each file through "Add MP4 File" and the file dialog; prints the rows each adds.
int AddFiles(const std::vector<std::wstring>& paths, bool timing);
// A folder through "Add Folder" and the folder picker; prints the rows it adds.
int AddFolder(const std::wstring& folder, double seconds, bool timing);
// Presses the convert button; with a limit, also waits for the run to end.
int Convert(std::optional<double> waitSeconds);

}  // namespace kvdrive
