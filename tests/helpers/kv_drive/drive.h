#pragma once
// What the parts of kv_drive share: its output, the program's windows and
// controls, and the job list read across the process boundary.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/key_input.h"
#include "ui/layout.h"

namespace kvdrive {

struct Place {
    std::wstring name;
    int left, top, width, height;
};
// A control's place in the layout, in 96-dpi client units.
Place PlaceOf(std::string_view name);

using Rows = std::vector<std::vector<std::wstring>>;

// The main window and its list, or a message saying what is missing.
struct Target {
    HWND frm = nullptr;
    HWND list = nullptr;
    DWORD pid = 0;
};

// How a process is started: by default quietly; or the way Korvello starts its
// tools (a new console, shown hidden, optionally suspended inside a job).
struct StartMode {
    bool newConsole = false;
    bool hidden = false;
    HANDLE job = nullptr;
};

constexpr int kProgressColumn = 2;

class RemoteBlock;
class RemoteList;

// The controls kv_drive presses or reads, at their places in the layout.
extern const Place kAddFile, kAddFolder, kConvert, kClose, kList, kEdit1, kEdit2, kEdit3;

std::string Utf8(std::wstring_view w);
void Write(DWORD which, std::wstring_view text);
void Out(const std::wstring& line);
void Err(const std::wstring& line);
int Fail(const std::wstring& why);
ULONGLONG Now();
bool WaitFor(double seconds, const std::function<bool()>& done, DWORD stepMs = 50);
std::wstring ClassOf(HWND w);
std::wstring TextOf(HWND w);
DWORD ProcessOf(HWND w);
std::vector<HWND> TopLevel(const std::function<bool(HWND)>& match);
std::vector<HWND> AppWindows();
HWND MainWindow();
bool Responsive(HWND w, UINT timeoutMs = 5000);
std::vector<HWND> Dialogs(DWORD pid);
std::optional<HWND> NewDialog(DWORD pid, const std::vector<HWND>& known);
std::wstring BoxText(HWND box);
bool PressOk(HWND dlg, double seconds);
int WindowDpi(HWND frm);
POINT Middle(HWND frm, const Place& p);
HWND ControlAt(HWND frm, const Place& p);
void ClickAt(HWND frm, HWND control, const Place& p);
std::wstring Progress(const std::vector<std::wstring>& row);
bool EndsWith(const std::wstring& s, std::wstring_view tail);
bool Working(const std::wstring& progress);
std::wstring Joined(const std::vector<std::wstring>& row);
void PrintRows(const Rows& rows);
std::optional<Target> FindTarget(std::wstring& why);
int WaitWindow(double seconds);
int PrintRowsCommand();
int WaitIdleOn(RemoteList& list, double seconds, DWORD stepMs);
int WaitRunEndOn(RemoteList& list, double seconds, DWORD stepMs, ULONGLONG& end);
int ClickCell(int row, int x);
int WaitIdle(double seconds);
bool UnderWay(const std::vector<std::wstring>& row);
bool WaitRows(RemoteList& list, double seconds, const std::function<bool(const Rows&)>& want);
int WaitProgress(double seconds);
int WaitRunning(double seconds);
HWND PressForDialog(const Target& t, const Place& place, const std::vector<HWND>& known, std::wstring& why);
int AddOne(const Target& t, RemoteList& list, const std::wstring& path, bool timing);
int AddFiles(const std::vector<std::wstring>& paths, bool timing);
int Convert(std::optional<double> waitSeconds);
std::wstring LastPart(std::wstring path);
std::wstring SelectedFolderName(HWND tree, const RemoteBlock& mem);
HWND OpenPickerAt(const Target& t, const std::wstring& folder, const std::vector<HWND>& known, std::wstring& why);
int AddFolder(const std::wstring& folder, double seconds, bool timing);
int CountInstances();
int CountProcesses(const std::wstring& exe);
int Attributes(const std::wstring& path);
std::vector<DWORD> ChildrenNamed(DWORD parent, const std::wstring& exe);
int KillChild(const std::wstring& exe, DWORD code = 9);
int AnswerBox(double seconds);
int Handles();
int RegistryAccess(const std::wstring& subKey, const std::wstring& how);
int ListFiles(const std::wstring& pattern);
int LockFile(const std::wstring& path, double seconds);
int Close();
int Keys(const std::vector<std::wstring>& names);
int WaitExit(double seconds);
int ControlText(const std::wstring& name);
int WindowRect();
int Memory();
std::wstring Quoted(const std::wstring& arg);
std::optional<HANDLE> Start(const std::wstring& line, DWORD flags, const StartMode& mode = {});
int LaunchTime(const std::wstring& exe, const std::wstring& cls, int runs, const std::wstring& how);
int TimeRun(int runs, std::vector<std::wstring> argv);
int WriteFiles(const std::wstring& dir, const std::vector<std::wstring>& sources);
int HoldDesktop(double seconds);
int Usage();
double Seconds(const wchar_t* s);

// A block of memory inside another process, for messages that carry pointers.
class RemoteBlock {
public:
    RemoteBlock(DWORD pid, SIZE_T size) : size_(size) {
        process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) at_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBlock() {
        if (at_) ::VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_) ::CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool Ok() const { return at_ != nullptr; }
    char* At(SIZE_T offset = 0) const { return static_cast<char*>(at_) + offset; }
    bool Put(SIZE_T offset, const void* data, SIZE_T n) const {
        return offset + n <= size_ && ::WriteProcessMemory(process_, At(offset), data, n, nullptr);
    }
    bool Get(SIZE_T offset, void* data, SIZE_T n) const {
        return offset + n <= size_ && ::ReadProcessMemory(process_, At(offset), data, n, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void* at_ = nullptr;
    SIZE_T size_;
};

class RemoteList {
public:
    explicit RemoteList(HWND list) : list_(list), mem_(ProcessOf(list), kSize) {}

    bool Ok() const { return mem_.Ok(); }

    std::optional<Rows> Read() {
        const auto count = Count();
        if (!count) return std::nullopt;
        DWORD_PTR header = 0, columns = 0;
        if (!::SendMessageTimeoutW(list_, LVM_GETHEADER, 0, 0, SMTO_NORMAL, 5000, &header)) return std::nullopt;
        if (!header ||
            !::SendMessageTimeoutW(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &columns))
            return std::nullopt;
        Rows rows;
        for (int r = 0; r < *count; ++r) {
            std::vector<std::wstring> cells;
            for (DWORD_PTR c = 0; c < columns; ++c) {
                auto cell = Cell(r, static_cast<int>(c));
                if (!cell) return std::nullopt;
                cells.push_back(*cell);
            }
            rows.push_back(std::move(cells));
        }
        return rows;
    }

    std::optional<int> Count() {
        DWORD_PTR count = 0;
        if (!::SendMessageTimeoutW(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count)) return std::nullopt;
        return static_cast<int>(count);
    }

    // One cell, read with a buffer of `chars` characters (short cells are
    // cheaper to fetch across the process boundary).
    std::optional<std::wstring> Cell(int row, int column, int chars = kMaxChars) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<LPWSTR>(mem_.At(kTextAt));
        item.cchTextMax = std::min(chars, kMaxChars);
        const wchar_t zero = 0;
        if (!mem_.Put(0, &item, sizeof item) || !mem_.Put(kTextAt, &zero, sizeof zero)) return std::nullopt;
        DWORD_PTR n = 0;
        if (!::SendMessageTimeoutW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                   reinterpret_cast<LPARAM>(mem_.At()), SMTO_NORMAL, 5000, &n))
            return std::nullopt;
        std::wstring text(static_cast<size_t>(item.cchTextMax), L'\0');
        if (!mem_.Get(kTextAt, text.data(), text.size() * sizeof(wchar_t))) return std::nullopt;
        text.resize(std::wcslen(text.c_str()));
        return text;
    }

private:
    static constexpr SIZE_T kSize = 8192;
    static constexpr SIZE_T kTextAt = 256;  // the text buffer follows the item record
    static constexpr int kMaxChars = static_cast<int>((kSize - kTextAt) / sizeof(wchar_t));

    HWND list_;
    RemoteBlock mem_;
};

// Runs a command on the main window and its job list, or says what is missing.
template <class F>
int WithList(F&& command) {
    std::wstring why;
    auto t = FindTarget(why);
    if (!t) return Fail(why);
    RemoteList list(t->list);
    if (!list.Ok()) return Fail(L"cannot reach the memory of the Korvello process");
    return command(*t, list);
}

}  // namespace kvdrive
