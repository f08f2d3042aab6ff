// Drives a running Korvello from outside, the way a user would: through its
// window's controls, found by their layout positions. Used by the end-to-end
// scripts, the demo run and the benchmarks. Output is UTF-8; exit code 0 means
// success, 1 failure, 2 a message box answered instead of the expected result.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winternl.h>

#include "support/key_input.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/key_input.h"

namespace {

// ---- output ------------------------------------------------------------------

std::string Utf8(std::wstring_view w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void Write(DWORD which, std::wstring_view text) {
    const std::string bytes = Utf8(text);
    DWORD done = 0;
    ::WriteFile(::GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

void Out(const std::wstring& line) { Write(STD_OUTPUT_HANDLE, line + L"\n"); }
void Err(const std::wstring& line) { Write(STD_ERROR_HANDLE, L"kv_drive: " + line + L"\n"); }

int Fail(const std::wstring& why) {
    Err(why);
    return 1;
}

ULONGLONG Now() { return ::GetTickCount64(); }

// Polls `done` every `stepMs` until it holds or `seconds` pass.
bool WaitFor(double seconds, const std::function<bool()>& done, DWORD stepMs = 50) {
    const ULONGLONG end = Now() + static_cast<ULONGLONG>(seconds * 1000.0);
    for (;;) {
        if (done()) return true;
        if (Now() >= end) return false;
        ::Sleep(stepMs);
    }
}

// ---- windows -------------------------------------------------------------------

std::wstring ClassOf(HWND w) {
    wchar_t buf[256];
    const int n = ::GetClassNameW(w, buf, 256);
    return n > 0 ? std::wstring(buf, static_cast<size_t>(n)) : std::wstring();
}

// Text of a window of another process; WM_GETTEXT is marshalled by the system.
std::wstring TextOf(HWND w) {
    DWORD_PTR len = 0;
    if (!::SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &len)) return {};
    std::wstring buf(len + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_NORMAL, 5000,
                               &got))
        return {};
    buf.resize(std::min<size_t>(got, len));
    return buf;
}

DWORD ProcessOf(HWND w) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    return pid;
}

std::vector<HWND> TopLevel(const std::function<bool(HWND)>& match) {
    struct Ctx {
        const std::function<bool(HWND)>* match;
        std::vector<HWND> found;
    } ctx{&match, {}};
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(lp);
            if ((*c->match)(w)) c->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

std::vector<HWND> AppWindows() {
    return TopLevel([](HWND w) { return ClassOf(w) == L"TApplication" && TextOf(w) == L"Korvello"; });
}

HWND MainWindow() {
    const auto found = TopLevel([](HWND w) { return ClassOf(w) == L"TfrmMain" && ::IsWindowVisible(w); });
    return found.empty() ? nullptr : found.front();
}

bool Responsive(HWND w, UINT timeoutMs = 5000) {
    DWORD_PTR r = 0;
    return ::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &r) != 0;
}

// Visible dialog-class windows (file dialogs, message boxes) of one process.
std::vector<HWND> Dialogs(DWORD pid) {
    return TopLevel([pid](HWND w) { return ProcessOf(w) == pid && ::IsWindowVisible(w) && ClassOf(w) == L"#32770"; });
}

std::optional<HWND> NewDialog(DWORD pid, const std::vector<HWND>& known) {
    for (HWND d : Dialogs(pid))
        if (std::find(known.begin(), known.end(), d) == known.end()) return d;
    return std::nullopt;
}

// The message of a message box: its non-empty static texts.
std::wstring BoxText(HWND box) {
    std::wstring text;
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        if (ClassOf(c) != L"Static") continue;
        const std::wstring t = TextOf(c);
        if (t.empty()) continue;
        if (!text.empty()) text += L" ";
        text += t;
    }
    return text;
}

bool PressOk(HWND dlg, double seconds) {
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDOK)));
    return WaitFor(seconds, [&] { return !::IsWindow(dlg) || !::IsWindowVisible(dlg); });
}

// ---- the main window's controls --------------------------------------------------

struct Place {
    const wchar_t* name;
    int left, top, width, height;
};
// Client positions of the main window's layout.
constexpr Place kAddFile{L"Button1", 384, 77, 103, 25};
constexpr Place kAddFolder{L"Button2", 384, 115, 103, 25};
constexpr Place kConvert{L"EzRgnBtn3", 436, 384, 41, 42};
constexpr Place kClose{L"EzRgnBtn2", 464, 13, 23, 23};
constexpr Place kList{L"ListView1", 15, 196, 473, 173};
constexpr Place kEdit1{L"Edit1", 16, 79, 360, 21};
constexpr Place kEdit2{L"Edit2", 16, 117, 360, 21};
constexpr Place kEdit3{L"Edit3", 16, 155, 360, 21};

// The layout is in 96-dpi units; the window lays itself out at its monitor's
// DPI. kv_drive declares itself per-monitor aware (wmain), so the coordinates
// it reads and sends are the window's own at any DPI.
int WindowDpi(HWND frm) {
    using Fn = UINT(WINAPI*)(HWND);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    auto fn = user32 ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(user32, "GetDpiForWindow")))
                     : nullptr;
    const UINT dpi = fn ? fn(frm) : 0;
    if (dpi > 0) return static_cast<int>(dpi);
    HDC screen = ::GetDC(nullptr);
    const int sys = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return sys > 0 ? sys : 96;
}

POINT Middle(HWND frm, const Place& p) {
    const int dpi = WindowDpi(frm);
    return POINT{::MulDiv(p.left + p.width / 2, dpi, 96), ::MulDiv(p.top + p.height / 2, dpi, 96)};
}

HWND ControlAt(HWND frm, const Place& p) {
    HWND c = ::ChildWindowFromPointEx(frm, Middle(frm, p), CWP_SKIPINVISIBLE);
    return c == frm ? nullptr : c;
}

// Presses a control with the left button at its middle, as the pointer would.
void ClickAt(HWND frm, HWND control, const Place& p) {
    POINT pt = Middle(frm, p);
    ::MapWindowPoints(frm, control, &pt, 1);
    const LPARAM lp = MAKELPARAM(pt.x, pt.y);
    ::PostMessageW(control, WM_MOUSEMOVE, 0, lp);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, lp);
    ::PostMessageW(control, WM_LBUTTONUP, 0, lp);
}

// ---- the job list, read across the process boundary ---------------------------------

using Rows = std::vector<std::vector<std::wstring>>;

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

constexpr int kProgressColumn = 2;

std::wstring Progress(const std::vector<std::wstring>& row) {
    return row.size() > kProgressColumn ? row[kProgressColumn] : std::wstring();
}

bool EndsWith(const std::wstring& s, std::wstring_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool Working(const std::wstring& progress) { return progress == L"Pending" || EndsWith(progress, L"% Done"); }

std::wstring Joined(const std::vector<std::wstring>& row) {
    std::wstring line;
    for (size_t i = 0; i < row.size(); ++i) line += (i ? L"\t" : L"") + row[i];
    return line;
}

void PrintRows(const Rows& rows) {
    for (const auto& r : rows) Out(Joined(r));
}

// The main window and its list, or a message saying what is missing.
struct Target {
    HWND frm = nullptr;
    HWND list = nullptr;
    DWORD pid = 0;
};

std::optional<Target> FindTarget(std::wstring& why) {
    Target t;
    t.frm = MainWindow();
    if (!t.frm) {
        why = L"no visible Korvello main window (class TfrmMain)";
        return std::nullopt;
    }
    t.pid = ProcessOf(t.frm);
    t.list = ControlAt(t.frm, kList);
    if (!t.list || ClassOf(t.list) != WC_LISTVIEWW) {
        why = L"no list view at the job list's place in the main window";
        return std::nullopt;
    }
    return t;
}

// ---- commands ----------------------------------------------------------------------

int WaitWindow(double seconds) {
    HWND frm = nullptr;
    if (!WaitFor(seconds, [&] { return (frm = MainWindow()) && Responsive(frm, 1000); }))
        return Fail(L"no responsive Korvello main window within " + std::to_wstring(seconds) + L" s");
    Out(std::to_wstring(ProcessOf(frm)));
    return 0;
}

int CountInstances() {
    Out(std::to_wstring(AppWindows().size()));
    return 0;
}

int CountProcesses(const std::wstring& exe) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return Fail(L"no process snapshot");
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    int n = 0;
    for (BOOL ok = ::Process32FirstW(snap, &e); ok; ok = ::Process32NextW(snap, &e))
        if (::lstrcmpiW(e.szExeFile, exe.c_str()) == 0) ++n;
    ::CloseHandle(snap);
    Out(std::to_wstring(n));
    return 0;
}

int Attributes(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        Out(L"missing");
        return 0;
    }
    std::wstring s;
    auto add = [&](DWORD bit, const wchar_t* name) {
        if (a & bit) s += (s.empty() ? L"" : L" ") + std::wstring(name);
    };
    add(FILE_ATTRIBUTE_READONLY, L"readonly");
    add(FILE_ATTRIBUTE_HIDDEN, L"hidden");
    add(FILE_ATTRIBUTE_SYSTEM, L"system");
    add(FILE_ATTRIBUTE_DIRECTORY, L"directory");
    add(FILE_ATTRIBUTE_ARCHIVE, L"archive");
    add(FILE_ATTRIBUTE_NORMAL, L"normal");
    Out(s.empty() ? L"none" : s);
    return 0;
}

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

int PrintRowsCommand() {
    return WithList([&](const Target&, RemoteList& list) {
        auto rows = list.Read();
        if (!rows) return Fail(L"cannot read the job list");
        PrintRows(*rows);
        return 0;
    });
}

// Waits until no row is pending or running; prints the rows either way.
int WaitIdleOn(RemoteList& list, double seconds, DWORD stepMs) {
    Rows last;
    bool readable = true;
    const bool idle = WaitFor(
        seconds,
        [&] {
            auto rows = list.Read();
            if (!rows) return !(readable = false);
            last = *rows;
            return std::none_of(last.begin(), last.end(), [](const auto& r) { return Working(Progress(r)); });
        },
        stepMs);
    PrintRows(last);
    if (!readable) return Fail(L"cannot read the job list (did the program end?)");
    if (!idle) return Fail(L"rows still pending or running after " + std::to_wstring(seconds) + L" s");
    return 0;
}

// The same wait as WaitIdleOn for a conversion run, but light on the program:
// a run finishes rows in list order and a finished row stays finished, so each
// poll reads the row count and the progress of the first row still working,
// not the whole list. Polling the whole list every 20 ms would cost the
// program and the machine more than the run it measures. A change of the row
// count starts the scan over.
int WaitRunEndOn(RemoteList& list, double seconds, DWORD stepMs, ULONGLONG& end) {
    int scanned = 0, known = -1;
    bool readable = true;
    const bool idle = WaitFor(
        seconds,
        [&] {
            const auto count = list.Count();
            if (!count) return !(readable = false);
            if (*count != known) known = *count, scanned = 0;
            while (scanned < known) {
                const auto p = list.Cell(scanned, kProgressColumn, 32);
                if (!p) return !(readable = false);
                if (Working(*p)) return false;
                ++scanned;
            }
            return true;
        },
        stepMs);
    end = Now();
    if (!readable) return Fail(L"cannot read the job list (did the program end?)");
    const auto rows = list.Read();
    if (!rows) return Fail(L"cannot read the job list (did the program end?)");
    PrintRows(*rows);
    if (!idle) return Fail(L"rows still pending or running after " + std::to_wstring(seconds) + L" s");
    return 0;
}

// A left click on a row's cell at x (list client coordinates), through the list
// itself, with the pointer there as the window reads it. Prints the message box
// it brings up ("MESSAGE\ttitle\ttext", exit 2, the box then closed) or NONE.
int ClickCell(int row, int x) {
    return WithList([&](const Target& t, RemoteList&) {
        RemoteBlock mem(t.pid, sizeof(RECT));
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        DWORD_PTR ok = 0;
        if (!mem.Ok() || !mem.Put(0, &r, sizeof r) ||
            !::SendMessageTimeoutW(t.list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                   reinterpret_cast<LPARAM>(mem.At()), SMTO_NORMAL, 5000, &ok) ||
            !ok || !mem.Get(0, &r, sizeof r))
            return Fail(L"no row " + std::to_wstring(row));
        const POINT pt{x, (r.top + r.bottom) / 2};
        POINT screen = pt;
        ::ClientToScreen(t.list, &screen);
        ::SetCursorPos(screen.x, screen.y);
        const auto known = Dialogs(t.pid);
        const LPARAM lp = MAKELPARAM(pt.x, pt.y);
        // As a hand would: onto the cell, a pause, press, a pause, release.
        ::PostMessageW(t.list, WM_MOUSEMOVE, 0, lp);
        ::Sleep(100);
        ::PostMessageW(t.list, WM_LBUTTONDOWN, MK_LBUTTON, lp);
        ::Sleep(100);
        ::PostMessageW(t.list, WM_LBUTTONUP, 0, lp);
        std::optional<HWND> box;
        WaitFor(5, [&] { return (box = NewDialog(t.pid, known)).has_value(); });
        if (!box) {
            Out(L"NONE");
            return 0;
        }
        Out(L"MESSAGE\t" + TextOf(*box) + L"\t" + BoxText(*box));
        if (!PressOk(*box, 10)) return Fail(L"the message box did not close");
        return 2;
    });
}

int WaitIdle(double seconds) {
    return WithList([&](const Target&, RemoteList& list) { return WaitIdleOn(list, seconds, 100); });
}

// A row whose conversion is under way, past its start.
bool UnderWay(const std::vector<std::wstring>& row) {
    const std::wstring p = Progress(row);
    return EndsWith(p, L"% Done") && std::wcstol(p.c_str(), nullptr, 10) > 0;
}

// Waits until the rows read satisfy `want`; prints the last rows read either way.
bool WaitRows(RemoteList& list, double seconds, const std::function<bool(const Rows&)>& want) {
    Rows last;
    const bool seen = WaitFor(seconds, [&] {
        auto rows = list.Read();
        if (!rows) return false;
        last = *rows;
        return want(last);
    });
    PrintRows(last);
    return seen;
}

// Waits until the list shows a finished row and a running one at once.
int WaitProgress(double seconds) {
    return WithList([&](const Target&, RemoteList& list) {
        const bool seen = WaitRows(list, seconds, [](const Rows& rows) {
            return std::any_of(rows.begin(), rows.end(), [](const auto& r) { return Progress(r) == L"Done"; }) &&
                   std::any_of(rows.begin(), rows.end(), UnderWay);
        });
        return seen ? 0 : Fail(L"no moment with both a finished and a running row");
    });
}

// Waits until a row shows a conversion under way, past its start.
int WaitRunning(double seconds) {
    return WithList([&](const Target&, RemoteList& list) {
        const bool seen =
            WaitRows(list, seconds, [](const Rows& rows) { return std::any_of(rows.begin(), rows.end(), UnderWay); });
        return seen ? 0 : Fail(L"no row under way within " + std::to_wstring(seconds) + L" s");
    });
}

// Presses one of the main window's push buttons and waits for the dialog it
// opens; null, with the reason in `why`, when there is none.
HWND PressForDialog(const Target& t, const Place& place, const std::vector<HWND>& known, std::wstring& why) {
    HWND button = ControlAt(t.frm, place);
    if (!button || ClassOf(button) != WC_BUTTONW) {
        why = L"no push button at the place of " + std::wstring(place.name);
        return nullptr;
    }
    ::PostMessageW(button, BM_CLICK, 0, 0);
    HWND dlg = nullptr;
    if (!WaitFor(30, [&] {
            auto d = NewDialog(t.pid, known);
            return d && (dlg = *d) != nullptr;
        }))
        why = L"no dialog opened after pressing " + std::wstring(place.name);
    return dlg;
}

// One file through "Add MP4 File" and the system's file dialog.
int AddOne(const Target& t, RemoteList& list, const std::wstring& path, bool timing) {
    const auto before = list.Read();
    if (!before) return Fail(L"cannot read the job list");
    const auto known = Dialogs(t.pid);

    std::wstring why;
    HWND dlg = PressForDialog(t, kAddFile, known, why);
    if (!dlg) return Fail(why);
    // Explorer-style dialogs name the file in a combo box, older ones in an edit box.
    HWND field = nullptr;
    WaitFor(10, [&] {
        if (HWND cmb = ::GetDlgItem(dlg, 0x47C)) {
            HWND edit = ::FindWindowExW(cmb, nullptr, L"Edit", nullptr);
            field = edit ? edit : cmb;
        } else {
            field = ::GetDlgItem(dlg, 0x480);
        }
        return field != nullptr;
    });
    if (!field) return Fail(L"the file dialog has no file name field");
    DWORD_PTR r = 0;
    if (!::SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 5000, &r) ||
        TextOf(field) != path)
        return Fail(L"cannot put the path into the file dialog");

    auto withDialog = known;
    withDialog.push_back(dlg);
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDOK)));
    std::optional<HWND> complaint;
    if (!WaitFor(15, [&] {
            return !::IsWindow(dlg) || !::IsWindowVisible(dlg) ||
                   (complaint = NewDialog(t.pid, withDialog)).has_value();
        })) {
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        return Fail(L"the file dialog did not close");
    }
    if (complaint && ::IsWindow(dlg) && ::IsWindowVisible(dlg)) {
        const std::wstring text = BoxText(*complaint);
        PressOk(*complaint, 5);
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        return Fail(L"the file dialog refused the path: " + text);
    }

    // The probe runs now; it ends in a new row or in a message box. It begins
    // when the program writes its batch file into the temporary folder (the
    // same folder as ours): without a window manager, Wine may hold the
    // program a while longer in hiding the file dialog.
    const ULONGLONG start = Now();
    wchar_t temp[MAX_PATH + 1];
    const DWORD tn = ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring batch = std::wstring(temp, tn) + L"open.bat";
    std::optional<ULONGLONG> batchSeen, batchGone;
    Rows rows;
    std::optional<HWND> box;
    int turn = 0;
    const bool settled = WaitFor(
        120,
        [&] {
            // While the batch file exists the probe runs: the list is not read
            // then, since every read is served by the program's waiting thread.
            if (::GetFileAttributesW(batch.c_str()) != INVALID_FILE_ATTRIBUTES) {
                if (!batchSeen) batchSeen = Now();
                return false;
            }
            if (batchSeen && !batchGone) batchGone = Now();
            if (!batchSeen && ++turn % 10) return false;
            if ((box = NewDialog(t.pid, withDialog))) return true;
            // The count alone: reading every row each turn would take longer
            // than the program takes to add one.
            const auto count = list.Count();
            return count && static_cast<size_t>(*count) > before->size();
        },
        1);
    const ULONGLONG end = Now();
    if (settled && !box) {
        if (auto now = list.Read()) rows = *now;
    }
    if (!settled) return Fail(L"neither a new row nor a message after adding " + path);
    if (box) {
        const std::wstring title = TextOf(*box), text = BoxText(*box);
        Out(L"MESSAGE\t" + title + L"\t" + text);
        if (!PressOk(*box, 10)) return Fail(L"the message box did not close");
        return 2;
    }
    for (size_t i = before->size(); i < rows.size(); ++i) Out(Joined(rows[i]));
    if (timing) {
        Out(L"add_ms\t" + std::to_wstring(end - start));
        if (batchSeen) Out(L"probe_ms\t" + std::to_wstring(end - *batchSeen));
        // The probe's two halves: from the batch file's writing to its deletion
        // (the run and the answer file), and from then until the row shows.
        if (batchSeen && batchGone) {
            Out(L"probe_run_ms\t" + std::to_wstring(*batchGone - *batchSeen));
            Out(L"probe_row_ms\t" + std::to_wstring(end - *batchGone));
        }
    }
    return 0;
}

int AddFiles(const std::vector<std::wstring>& paths, bool timing) {
    return WithList([&](const Target& t, RemoteList& list) {
        int result = 0;
        for (const auto& p : paths) {
            const int r = AddOne(t, list, p, timing);
            if (r == 1) return 1;
            result = std::max(result, r);
        }
        return result;
    });
}

// Presses the convert button; with a limit, also waits for the run to end and
// reports how long it took from the press.
int Convert(std::optional<double> waitSeconds) {
    return WithList([&](const Target& t, RemoteList& list) {
        const auto before = list.Read();
        if (!before) return Fail(L"cannot read the job list");
        HWND button = ControlAt(t.frm, kConvert);
        if (!button) return Fail(L"no control at the place of the convert button");
        const ULONGLONG start = Now();
        ClickAt(t.frm, button, kConvert);
        const bool anyPending =
            std::any_of(before->begin(), before->end(), [](const auto& r) { return Progress(r) == L"Pending"; });
        if (anyPending && !WaitFor(
                              15,
                              [&] {
                                  auto now = list.Read();
                                  if (!now || now->size() != before->size()) return true;
                                  for (size_t i = 0; i < now->size(); ++i)
                                      if (Progress((*now)[i]) != Progress((*before)[i])) return true;
                                  return false;
                              },
                              20))
            return Fail(L"the convert button started nothing");
        if (!waitSeconds) return 0;
        ULONGLONG end = 0;
        const int r = WaitRunEndOn(list, *waitSeconds, 20, end);
        Out(L"elapsed_ms\t" + std::to_wstring(end - start));
        return r;
    });
}

int Usage();

std::wstring LastPart(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Text of the selected item of the folder picker's tree.
std::wstring SelectedFolderName(HWND tree, const RemoteBlock& mem) {
    DWORD_PTR item = 0;
    if (!::SendMessageTimeoutW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_NORMAL, 5000, &item) || !item) return {};
    constexpr SIZE_T kTextAt = 256, kChars = 1024;
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = reinterpret_cast<HTREEITEM>(item);
    tv.pszText = reinterpret_cast<LPWSTR>(mem.At(kTextAt));
    tv.cchTextMax = static_cast<int>(kChars);
    const wchar_t zero = 0;
    if (!mem.Put(0, &tv, sizeof tv) || !mem.Put(kTextAt, &zero, sizeof zero)) return {};
    DWORD_PTR r = 0;
    if (!::SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(mem.At()), SMTO_NORMAL, 5000, &r) || !r)
        return {};
    std::wstring text(kChars, L'\0');
    if (!mem.Get(kTextAt, text.data(), kChars * sizeof(wchar_t))) return {};
    text.resize(std::wcslen(text.c_str()));
    return text;
}

// The program's message loop is back when a message posted now has been
// handled: messages posted during a command wait until the command ends (its
// waits dispatch only painting). The message is an edit box's length limit,
// which nothing else uses and which can be read back.
class LoopMarker {
public:
    explicit LoopMarker(HWND edit) : edit_(edit) {}
    void Post() {
        value_ = 0x10000000u + static_cast<UINT>(Now() & 0xFFFFFF) + (++count_);
        ::PostMessageW(edit_, EM_SETLIMITTEXT, value_, 0);
    }
    bool Seen() const {
        DWORD_PTR limit = 0;
        return ::SendMessageTimeoutW(edit_, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 500, &limit) && limit == value_;
    }

private:
    HWND edit_;
    UINT value_ = 0;
    UINT count_ = 0;
};

// Presses "Add Folder" and has the folder picker select `folder`; null, with
// the reason in `why`, when it does not. Wine's picker now and then ignores a
// selection request while its tree is still settling; a picker that never
// takes it is cancelled and opened again.
HWND OpenPickerAt(const Target& t, const std::wstring& folder, const std::vector<HWND>& known, std::wstring& why) {
    RemoteBlock mem(t.pid, 8192);
    constexpr SIZE_T kPathAt = 4096;
    if (!mem.Ok() || !mem.Put(kPathAt, folder.c_str(), (folder.size() + 1) * sizeof(wchar_t))) {
        why = L"cannot hand the path to the Korvello process";
        return nullptr;
    }
    const std::wstring name = LastPart(folder);
    for (int opening = 0; opening < 3; ++opening) {
        HWND dlg = PressForDialog(t, kAddFolder, known, why);
        if (!dlg) return nullptr;
        HWND tree = nullptr;
        WaitFor(10, [&] { return (tree = ::FindWindowExW(dlg, nullptr, WC_TREEVIEWW, nullptr)) != nullptr; });
        if (!tree) {
            why = L"the folder picker has no folder tree";
            return nullptr;
        }
        // The program selects its start folder once the picker is up, and the
        // tree fills in as it goes; ours comes after the tree shows a selection.
        WaitFor(15, [&] { return !SelectedFolderName(tree, mem).empty(); });
        ::Sleep(300);
        for (int attempt = 0; attempt < 3; ++attempt) {
            DWORD_PTR r = 0;
            ::SendMessageTimeoutW(dlg, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(mem.At(kPathAt)), SMTO_NORMAL,
                                  10000, &r);
            if (WaitFor(5, [&] { return ::lstrcmpiW(SelectedFolderName(tree, mem).c_str(), name.c_str()) == 0; }))
                return dlg;
        }
        DWORD_PTR count = 0;
        ::SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
        why = L"the folder picker did not select " + folder + L" (selected: \"" + SelectedFolderName(tree, mem) +
              L"\"; tree items " + std::to_wstring(count) + L")";
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        if (!WaitFor(15, [&] { return !::IsWindow(dlg); })) {
            why = L"the folder picker did not close";
            return nullptr;
        }
        ::Sleep(500);  // the cancelled command returns to the message loop
    }
    return nullptr;
}

// A folder through "Add Folder" and the system's folder picker. Message boxes
// shown while the folder's files are probed are reported and answered; the
// command ends when the program's message loop is back.
int AddFolder(const std::wstring& folder, double seconds, bool timing) {
    return WithList([&](const Target& t, RemoteList& list) {
        const auto before = list.Read();
        if (!before) return Fail(L"cannot read the job list");
        HWND edit1 = ControlAt(t.frm, kEdit1);
        if (!edit1) return Fail(L"no control at the place of Edit1");
        auto known = Dialogs(t.pid);

        std::wstring why;
        HWND dlg = OpenPickerAt(t, folder, known, why);
        if (!dlg) return Fail(why);
        const ULONGLONG start = Now();
        if (!PressOk(dlg, 15)) return Fail(L"the folder picker did not close");
        WaitFor(15, [&] { return !::IsWindow(dlg); });
        known = Dialogs(t.pid);

        LoopMarker marker(edit1);
        marker.Post();
        int result = 0;
        std::wstring failure;
        const bool ended = WaitFor(
            seconds,
            [&] {
                if (auto box = NewDialog(t.pid, known)) {
                    Out(L"MESSAGE\t" + TextOf(*box) + L"\t" + BoxText(*box));
                    result = 2;
                    if (!PressOk(*box, 10)) {
                        failure = L"a message box did not close";
                        return true;
                    }
                    marker.Post();
                    return false;
                }
                return marker.Seen();
            },
            100);
        const ULONGLONG end = Now();
        if (!failure.empty()) return Fail(failure);
        if (!ended) return Fail(L"the folder was still being added after " + std::to_wstring(seconds) + L" s");
        const auto rows = list.Read();
        if (!rows) return Fail(L"cannot read the job list");
        for (size_t i = before->size(); i < rows->size(); ++i) Out(Joined((*rows)[i]));
        if (timing) Out(L"add_ms\t" + std::to_wstring(end - start));
        return result;
    });
}

// Processes of that file name started by the Korvello process.
std::vector<DWORD> ChildrenNamed(DWORD parent, const std::wstring& exe) {
    std::vector<DWORD> found;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = ::Process32FirstW(snap, &e); ok; ok = ::Process32NextW(snap, &e))
        if (e.th32ParentProcessID == parent && ::lstrcmpiW(e.szExeFile, exe.c_str()) == 0)
            found.push_back(e.th32ProcessID);
    ::CloseHandle(snap);
    return found;
}

// Ends the program's running transcoder the hard way, as a crash would.
int KillChild(const std::wstring& exe) {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    int killed = 0;
    for (DWORD pid : ChildrenNamed(ProcessOf(frm), exe)) {
        HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!p) continue;
        if (::TerminateProcess(p, 9)) {
            ::WaitForSingleObject(p, 10000);
            ++killed;
        }
        ::CloseHandle(p);
    }
    Out(std::to_wstring(killed));
    return killed > 0 ? 0 : Fail(L"no " + exe + L" started by Korvello runs");
}

// Open handles of the Korvello process, from the system's handle table.
int Handles() {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    const ULONG_PTR pid = ProcessOf(frm);
    using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return Fail(L"no NtQuerySystemInformation");
    struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
        PVOID object;
        ULONG_PTR pid;
        ULONG_PTR handle;
        ULONG access;
        USHORT creatorBackTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    constexpr ULONG kExtendedHandleInformation = 64;
    constexpr NTSTATUS kTooSmall = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<char> buf(1 << 20);
    NTSTATUS status;
    ULONG len = 0;
    while ((status = query(kExtendedHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &len)) == kTooSmall)
        buf.resize(buf.size() * 2);
    if (status != 0) return Fail(L"the handle table cannot be read");
    const auto count = *reinterpret_cast<const ULONG_PTR*>(buf.data());
    const auto* entries = reinterpret_cast<const Entry*>(buf.data() + 2 * sizeof(ULONG_PTR));
    size_t mine = 0;
    for (ULONG_PTR i = 0; i < count; ++i)
        if (entries[i].pid == pid) ++mine;
    Out(std::to_wstring(mine));
    return 0;
}

// Gives a key of the current user's hive read-only access, no access, or full
// access; each keeps WRITE_DAC so that full access can be given back.
int RegistryAccess(const std::wstring& subKey, const std::wstring& how) {
    const wchar_t* sddl = how == L"read"   ? L"D:P(A;OICI;KRWD;;;WD)"
                          : how == L"none" ? L"D:P(A;OICI;WD;;;WD)"
                          : how == L"full" ? L"D:P(A;OICI;KA;;;WD)"
                                           : nullptr;
    if (!sddl) return Usage();
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, WRITE_DAC, &k) != ERROR_SUCCESS)
        return Fail(L"cannot open HKCU\\" + subKey);
    PSECURITY_DESCRIPTOR sd = nullptr;
    LSTATUS r = ERROR_INVALID_PARAMETER;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)) {
        r = ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, sd);
        ::LocalFree(sd);
    }
    ::RegCloseKey(k);
    return r == ERROR_SUCCESS ? 0 : Fail(L"cannot change the access to HKCU\\" + subKey);
}

// The names a folder listing gives for PATTERN, in the listing's order: the
// order in which the program's folder command meets the files.
int ListFiles(const std::wstring& pattern) {
    WIN32_FIND_DATAW fd{};
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return Fail(L"nothing matches " + pattern);
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) Out(fd.cFileName);
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return 0;
}

// Holds a file open with no sharing, as a scanner or another program might;
// creates it when missing. Prints "locked" once the file is held.
int LockFile(const std::wstring& path, double seconds) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return Fail(L"cannot open " + path);
    Out(L"locked");
    ::Sleep(static_cast<DWORD>(seconds * 1000.0));
    ::CloseHandle(f);
    return 0;
}

int Close() {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    HWND button = ControlAt(frm, kClose);
    if (!button) return Fail(L"no control at the place of the close button");
    ClickAt(frm, button, kClose);
    return 0;
}

// Key strokes through the system's input queue, to the main window brought
// to the front; then the control that has the focus: its class and its
// place in the main window's client area.
int Keys(const std::vector<std::wstring>& names) {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    ::SetForegroundWindow(frm);
    ::Sleep(200);
    for (const auto& name : names) {
        std::vector<WORD> keys;
        if (name == L"tab")
            keys = {VK_TAB};
        else if (name == L"shift+tab")
            keys = {VK_SHIFT, VK_TAB};
        else if (name == L"enter")
            keys = {VK_RETURN};
        else if (name == L"space")
            keys = {VK_SPACE};
        else if (name == L"esc")
            keys = {VK_ESCAPE};
        else
            return Fail(L"unknown key " + name);
        std::vector<INPUT> in = kvtest::KeyStrokes(keys);
        if (::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) != in.size())
            return Fail(L"SendInput refused " + name);
        ::Sleep(150);
    }
    GUITHREADINFO gui{sizeof gui};
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(frm, nullptr), &gui) || !gui.hwndFocus) {
        Out(L"(no focus)");
        return 0;
    }
    RECT rc{};
    ::GetWindowRect(gui.hwndFocus, &rc);
    ::MapWindowPoints(HWND_DESKTOP, frm, reinterpret_cast<POINT*>(&rc), 2);
    Out(ClassOf(gui.hwndFocus) + L"\t" + std::to_wstring(rc.left) + L"," + std::to_wstring(rc.top));
    return 0;
}

int WaitExit(double seconds) {
    HWND w = MainWindow();
    if (!w) {
        const auto apps = AppWindows();
        if (apps.empty()) {
            Out(L"not running");
            return 0;
        }
        w = apps.front();
    }
    HANDLE p = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(w));
    if (!p) return Fail(L"cannot open the Korvello process");
    const DWORD r = ::WaitForSingleObject(p, static_cast<DWORD>(seconds * 1000.0));
    DWORD code = 0;
    ::GetExitCodeProcess(p, &code);
    ::CloseHandle(p);
    if (r != WAIT_OBJECT_0) return Fail(L"Korvello still runs after " + std::to_wstring(seconds) + L" s");
    Out(L"exit code " + std::to_wstring(code));
    return 0;
}

int ControlText(const std::wstring& name) {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    for (const Place* p : {&kEdit1, &kEdit2, &kEdit3}) {
        if (name != p->name) continue;
        HWND c = ControlAt(frm, *p);
        if (!c) return Fail(L"no control at the place of " + name);
        Out(TextOf(c));
        return 0;
    }
    return Fail(L"unknown control " + name);
}

int WindowRect() {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    RECT r{};
    ::GetWindowRect(frm, &r);
    Out(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) + L" " +
        std::to_wstring(r.bottom - r.top));
    return 0;
}

// Memory of the running program as Windows reports it.
int Memory() {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    HANDLE p = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ProcessOf(frm));
    if (!p) return Fail(L"cannot open the Korvello process");
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    const BOOL ok = ::GetProcessMemoryInfo(p, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
    ::CloseHandle(p);
    if (!ok) return Fail(L"no memory counters");
    Out(L"private_kb\t" + std::to_wstring(m.PrivateUsage / 1024) + L"\nworking_set_kb\t" +
        std::to_wstring(m.WorkingSetSize / 1024) + L"\npeak_working_set_kb\t" +
        std::to_wstring(m.PeakWorkingSetSize / 1024));
    return 0;
}

std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') q += L'\\';
        q += c;
    }
    return q + L"\"";
}

// How a process is started: by default quietly; or the way Korvello starts its
// tools (a new console, shown hidden, optionally suspended inside a job).
struct StartMode {
    bool newConsole = false;
    bool hidden = false;
    HANDLE job = nullptr;
};

std::optional<HANDLE> Start(const std::wstring& line, DWORD flags, const StartMode& mode = {}) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (mode.hidden) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
    }
    if (mode.newConsole) flags = (flags & ~static_cast<DWORD>(CREATE_NO_WINDOW)) | CREATE_NEW_CONSOLE;
    if (mode.job) flags |= CREATE_SUSPENDED;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> buf(line.begin(), line.end());
    buf.push_back(L'\0');
    if (!::CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi))
        return std::nullopt;
    if (mode.job) {
        ::AssignProcessToJobObject(mode.job, pi.hProcess);
        ::ResumeThread(pi.hThread);
    }
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Starts a program N times, each time measuring the time until its window of
// the given class is shown and answers messages, then ends it.
int LaunchTime(const std::wstring& exe, const std::wstring& cls, int runs, const std::wstring& how) {
    for (int i = 0; i < runs; ++i) {
        const ULONGLONG start = Now();
        auto p = Start(Quoted(exe), 0);
        if (!p) return Fail(L"cannot start " + exe);
        const DWORD pid = ::GetProcessId(*p);
        HWND w = nullptr;
        const bool shown = WaitFor(
            30,
            [&] {
                const auto found =
                    TopLevel([&](HWND h) { return ProcessOf(h) == pid && ::IsWindowVisible(h) && ClassOf(h) == cls; });
                return !found.empty() && Responsive(w = found.front(), 5000);
            },
            2);
        const ULONGLONG took = Now() - start;
        if (!shown) {
            ::TerminateProcess(*p, 1);
            ::CloseHandle(*p);
            return Fail(L"no window of class " + cls + L" from " + exe);
        }
        if (how == L"close-button") {
            HWND button = ControlAt(w, kClose);
            if (button) ClickAt(w, button, kClose);
        } else {
            ::PostMessageW(w, WM_CLOSE, 0, 0);
        }
        if (::WaitForSingleObject(*p, 20000) != WAIT_OBJECT_0) {
            ::TerminateProcess(*p, 1);
            ::CloseHandle(*p);
            return Fail(exe + L" did not end when asked");
        }
        ::CloseHandle(*p);
        Out(L"run_ms\t" + std::to_wstring(took));
    }
    return 0;
}

// Runs a command line N times one after another, each to its end.
int TimeRun(int runs, std::vector<std::wstring> argv) {
    StartMode mode;
    HANDLE job = nullptr;
    while (!argv.empty() && argv.front().starts_with(L"--")) {
        if (argv.front() == L"--new-console")
            mode.newConsole = true;
        else if (argv.front() == L"--hidden")
            mode.hidden = true;
        else if (argv.front() == L"--job")
            job = ::CreateJobObjectW(nullptr, nullptr);
        else
            return Fail(L"unknown option " + argv.front());
        argv.erase(argv.begin());
    }
    if (argv.empty()) return Fail(L"time-run: no program");
    std::wstring line;
    for (const auto& a : argv) line += (line.empty() ? L"" : L" ") + Quoted(a);
    int result = 0;
    for (int i = 0; i < runs && result == 0; ++i) {
        mode.job = job;
        const ULONGLONG start = Now();
        auto p = Start(line, CREATE_NO_WINDOW, mode);
        if (!p) {
            result = Fail(L"cannot start (error " + std::to_wstring(::GetLastError()) + L"): " + line);
            break;
        }
        ::WaitForSingleObject(*p, INFINITE);
        const ULONGLONG took = Now() - start;
        DWORD code = 0;
        ::GetExitCodeProcess(*p, &code);
        ::CloseHandle(*p);
        Out(L"run_ms\t" + std::to_wstring(took) + L"\texit\t" + std::to_wstring(code));
    }
    if (job) ::CloseHandle(job);
    return result;
}

// Writes copies of files as hidden files and reports the time the writes took.
int WriteFiles(const std::wstring& dir, const std::vector<std::wstring>& sources) {
    std::vector<std::pair<std::wstring, std::string>> files;
    for (const auto& s : sources) {
        HANDLE f = ::CreateFileW(s.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return Fail(L"cannot read " + s);
        LARGE_INTEGER size{};
        ::GetFileSizeEx(f, &size);
        std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        const BOOL ok = ::ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        ::CloseHandle(f);
        if (!ok || got != bytes.size()) return Fail(L"cannot read " + s);
        const auto slash = s.find_last_of(L"\\/");
        files.emplace_back(dir + L"\\" + s.substr(slash == std::wstring::npos ? 0 : slash + 1), std::move(bytes));
    }
    LARGE_INTEGER freq, t0, t1;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&t0);
    for (const auto& [path, bytes] : files) {
        const DWORD a = ::GetFileAttributesW(path.c_str());
        const DWORD attrs = a == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_NORMAL : (a & FILE_ATTRIBUTE_HIDDEN);
        HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 attrs ? attrs : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) return Fail(L"cannot write " + path);
        DWORD put = 0;
        const BOOL ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
        ::CloseHandle(f);
        if (!ok || put != bytes.size()) return Fail(L"cannot write " + path);
        ::SetFileAttributesW(path.c_str(), ::GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_HIDDEN);
    }
    ::QueryPerformanceCounter(&t1);
    const double ms = static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
    Out(L"write_ms\t" + std::to_wstring(ms));
    return 0;
}

// Wine ends its desktop process a few seconds after the last window of the
// session closes; a program starting in that moment may fail to start. A
// hidden window held for the length of a script keeps the desktop up.
int HoldDesktop(double seconds) {
    HWND w = ::CreateWindowExW(0, L"STATIC", L"kv_drive desktop holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!w) return Fail(L"cannot create a window");
    ::SetTimer(w, 1, static_cast<UINT>(seconds * 1000.0), nullptr);
    MSG m;
    while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_TIMER && m.hwnd == w) break;
        ::DispatchMessageW(&m);
    }
    ::DestroyWindow(w);
    return 0;
}

int Usage() {
    Err(L"usage: kv_drive COMMAND [ARGS]\n"
        L"  wait-window SECONDS       wait for the main window; prints the process id\n"
        L"  count-instances           number of Korvello application windows\n"
        L"  count-processes EXE       number of running processes with that file name\n"
        L"  attrs PATH                file attributes, or \"missing\"\n"
        L"  keys KEY...               tab, shift+tab, enter, space, esc to the main window; prints the focused "
        L"control\n"
        L"  add-file [--timing] PATH...  add files through \"Add MP4 File\" and the file dialog\n"
        L"  add-folder [--timing] PATH SECONDS  add a folder through \"Add Folder\" and the folder picker\n"
        L"  convert [--wait SECONDS]  press the convert button (and wait for the run to end)\n"
        L"  rows                      the job list, one row a line, cells separated by tabs\n"
        L"  click-cell ROW X          click a row's cell at x; prints the message box it shows, or NONE\n"
        L"  wait-idle SECONDS         wait until no row is pending or running; prints the rows\n"
        L"  wait-progress SECONDS     wait until one row is done while another runs\n"
        L"  wait-running SECONDS      wait until a row's conversion is under way\n"
        L"  close                     press the close button\n"
        L"  wait-exit SECONDS         wait for the program to end\n"
        L"  text Edit1|Edit2|Edit3    the text of an edit box\n"
        L"  window-rect               main window position and size on the screen\n"
        L"  memory                    memory counters of the program\n"
        L"  launch-time EXE CLASS N close-button|wm-close\n"
        L"  time-run N [--new-console] [--hidden] [--job] PROGRAM [ARGS...]\n"
        L"  write-files DIR FILE...\n"
        L"  hold-desktop SECONDS      keep Wine's desktop process up (a hidden window)\n"
        L"  kill-child EXE            end the program's own processes of that name\n"
        L"  handles                   number of open handles of the program\n"
        L"  registry-access SUBKEY read|none|full   change the access to a key of HKCU\n"
        L"  lock-file PATH SECONDS    hold a file open with no sharing\n"
        L"  list-files PATTERN        the files a folder listing gives, in its order");
    return 1;
}

double Seconds(const wchar_t* s) { return std::wcstod(s, nullptr); }

}  // namespace

// Coordinates as the main window has them, whatever the DPI: per-monitor
// aware where the system knows it (Windows 10 1703 on), else system aware.
void DeclareDpiAware() {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    using ContextFn = BOOL(WINAPI*)(HANDLE);
    using AwareFn = BOOL(WINAPI*)();
    if (auto set = reinterpret_cast<ContextFn>(
            reinterpret_cast<void (*)()>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")))) {
        if (set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
            return;  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    }
    if (auto aware =
            reinterpret_cast<AwareFn>(reinterpret_cast<void (*)()>(::GetProcAddress(user32, "SetProcessDPIAware"))))
        aware();
}

int wmain(int argc, wchar_t** argv) {
    DeclareDpiAware();
    if (argc < 2) return Usage();
    const std::wstring cmd = argv[1];
    std::vector<std::wstring> args(argv + 2, argv + argc);
    auto need = [&](size_t n) { return args.size() >= n; };

    if (cmd == L"wait-window" && need(1)) return WaitWindow(Seconds(argv[2]));
    if (cmd == L"count-instances") return CountInstances();
    if (cmd == L"count-processes" && need(1)) return CountProcesses(args[0]);
    if (cmd == L"attrs" && need(1)) return Attributes(args[0]);
    if (cmd == L"add-file" && need(1)) {
        const bool timing = args[0] == L"--timing";
        if (timing) args.erase(args.begin());
        if (args.empty()) return Usage();
        return AddFiles(args, timing);
    }
    if (cmd == L"add-folder") {
        const bool timing = need(1) && args[0] == L"--timing";
        if (timing) args.erase(args.begin());
        if (args.size() != 2) return Usage();
        return AddFolder(args[0], std::wcstod(args[1].c_str(), nullptr), timing);
    }
    if (cmd == L"convert") {
        if (need(2) && args[0] == L"--wait") return Convert(Seconds(argv[3]));
        return need(1) ? Usage() : Convert(std::nullopt);
    }
    if (cmd == L"rows") return PrintRowsCommand();
    if (cmd == L"click-cell" && need(2))
        return ClickCell(static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10)),
                         static_cast<int>(std::wcstol(args[1].c_str(), nullptr, 10)));
    if (cmd == L"wait-idle" && need(1)) return WaitIdle(Seconds(argv[2]));
    if (cmd == L"wait-progress" && need(1)) return WaitProgress(Seconds(argv[2]));
    if (cmd == L"wait-running" && need(1)) return WaitRunning(Seconds(argv[2]));
    if (cmd == L"close") return Close();
    if (cmd == L"keys" && need(1)) return Keys(args);
    if (cmd == L"wait-exit" && need(1)) return WaitExit(Seconds(argv[2]));
    if (cmd == L"text" && need(1)) return ControlText(args[0]);
    if (cmd == L"window-rect") return WindowRect();
    if (cmd == L"memory") return Memory();
    if (cmd == L"launch-time" && need(4))
        return LaunchTime(args[0], args[1], static_cast<int>(std::wcstol(args[2].c_str(), nullptr, 10)), args[3]);
    if (cmd == L"time-run" && need(2))
        return TimeRun(static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10)),
                       std::vector<std::wstring>(args.begin() + 1, args.end()));
    if (cmd == L"hold-desktop" && need(1)) return HoldDesktop(Seconds(argv[2]));
    if (cmd == L"write-files" && need(2))
        return WriteFiles(args[0], std::vector<std::wstring>(args.begin() + 1, args.end()));
    if (cmd == L"kill-child" && need(1)) return KillChild(args[0]);
    if (cmd == L"handles") return Handles();
    if (cmd == L"registry-access" && need(2)) return RegistryAccess(args[0], args[1]);
    if (cmd == L"list-files" && need(1)) return ListFiles(args[0]);
    if (cmd == L"lock-file" && need(2)) return LockFile(args[0], std::wcstod(args[1].c_str(), nullptr));
    return Usage();
}
