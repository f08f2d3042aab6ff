#pragma once
// Shared helpers of the Win32 tests: temporary folders, files, the fake dialogs.
#include <windows.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/checked_path.h"
#include "app/dialogs_win.h"

namespace kvtest {

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& hint = L"kvtest");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    [[nodiscard]] std::string Utf8() const;  // with a trailing backslash

private:
    std::filesystem::path path_;
};

std::string Utf8(const std::filesystem::path& p);
std::filesystem::path FromUtf8(const std::string& s);
void WriteBytes(const std::filesystem::path& p, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& p);
// The folder of the running test program (helpers are built beside it).
std::filesystem::path ProgramFolder();
// Dispatches messages until `done` or the deadline; true when done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
void PumpFor(DWORD ms);
// The ids of the running processes started from this very file, found in the
// system's process list (not through anything the program keeps).
std::vector<DWORD> ProcessesOf(const std::filesystem::path& exe);
// Starts `exe` through the command interpreter's "start", as another program
// would: not a child of this process. Its handle, or null.
HANDLE StartAsAnotherProgram(const std::filesystem::path& exe, const std::wstring& args);
// A path of this machine through the program's own border check; the test
// fails (bad_optional_access) when it does not pass.
kv::CheckedPath Present(const std::string& path);

// Answers dialogs in the user's place and records what was asked.
class FakeDialogs : public kv::IDialogs {
public:
    struct Box {
        std::string text, caption;
        UINT flags;
    };
    std::vector<Box> boxes;
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::string> folderAnswers;
    struct FolderAsk {
        std::string title, initial;
        bool allowNew;
    };
    std::vector<FolderAsk> folderAsks;
    std::vector<std::string> opened;
    std::vector<kv::OpenFileRequest> openRequests;

    int MessageBox(HWND, const std::string& text, const std::string& caption, UINT flags) override {
        boxes.push_back({text, caption, flags});
        return IDOK;
    }
    std::optional<std::string> OpenFile(HWND, const kv::OpenFileRequest& r) override {
        openRequests.push_back(r);
        if (openAnswers.empty()) return std::nullopt;
        auto a = openAnswers.front();
        openAnswers.pop_front();
        return a;
    }
    std::string BrowseForFolder(HWND, const std::string& title, const std::string& initial, bool allowNew) override {
        folderAsks.push_back({title, initial, allowNew});
        if (folderAnswers.empty()) return {};
        auto a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    std::vector<int> openShows;
    void ShellOpen(HWND, const std::string& target, int show) override {
        opened.push_back(target);
        openShows.push_back(show);
    }
};

}  // namespace kvtest
