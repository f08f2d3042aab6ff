#pragma once
// The job list, read across the process boundary, and the commands that read
// it or wait for it.
#include "desktop.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace kvdrive {

using Rows = std::vector<std::vector<std::wstring>>;

// The main window and its list.
struct Target {
    HWND frm = nullptr;
    HWND list = nullptr;
    DWORD pid = 0;
};

constexpr int kProgressColumn = 2;

// A row's progress cell.
std::wstring Progress(const std::vector<std::wstring>& row);
// A row's cells joined by tabs, as the commands print a row.
std::wstring Joined(const std::vector<std::wstring>& row);
// The main window and its list, or a message saying what is missing.
std::optional<Target> FindTarget(std::wstring& why);

int WaitWindow(double seconds);
int PrintRowsCommand();
int ClickCell(int row, int x);
int WaitIdle(double seconds);
int WaitProgress(double seconds);
int WaitRunning(double seconds);

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

// Waits until no row is pending or running, reading little of the list at a
// time; prints the rows, and the moment the wait ended goes to `end`.
int WaitRunEndOn(RemoteList& list, double seconds, DWORD stepMs, ULONGLONG& end);

}  // namespace kvdrive
