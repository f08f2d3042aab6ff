// Commands about processes, files, the registry, the keyboard and timing.
#include "commands.h"

#include <psapi.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <winternl.h>

#include "desktop.h"
#include "main.h"
#include "support/key_input.h"

namespace kvdrive {

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

// The priority class of each running process of this executable, one a line.
int Priorities(const std::wstring& exe) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return Fail(L"no process snapshot");
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = ::Process32FirstW(snap, &e); ok; ok = ::Process32NextW(snap, &e)) {
        if (::lstrcmpiW(e.szExeFile, exe.c_str()) != 0) continue;
        HANDLE p = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID);
        if (!p) continue;
        const DWORD c = ::GetPriorityClass(p);
        ::CloseHandle(p);
        Out(c == BELOW_NORMAL_PRIORITY_CLASS ? L"below-normal"
            : c == NORMAL_PRIORITY_CLASS     ? L"normal"
                                             : std::to_wstring(c));
    }
    ::CloseHandle(snap);
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

namespace {

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

}  // namespace

// Ends the program's running transcoder the hard way, as a crash would, with
// `code` as its exit code (End task, or another program, may give 0).
int KillChild(const std::wstring& exe, DWORD code) {
    HWND frm = MainWindow();
    if (!frm) return Fail(L"no visible Korvello main window");
    int killed = 0;
    for (DWORD pid : ChildrenNamed(ProcessOf(frm), exe)) {
        HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!p) continue;
        if (::TerminateProcess(p, code)) {
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
    for (const Place* p : {&kEdit1, &kEdit2, &kEdit3, &kAddFile, &kAddFolder, &kBrowse}) {
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

namespace {

// How a process is started: by default quietly; or the way Korvello starts its
// tools (a new console, shown hidden, optionally suspended inside a job).
struct StartMode {
    bool newConsole = false;
    bool hidden = false;
    HANDLE job = nullptr;
};

std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') q += L'\\';
        q += c;
    }
    return q + L"\"";
}

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

}  // namespace

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

// A message box of a process other than the running first copy (a later copy
// telling its user why it did not hand its files over): waits for it, prints
// its text on one line and presses OK.
int AnswerBox(double seconds) {
    const HWND first = MainWindow();
    const DWORD firstPid = first ? ProcessOf(first) : 0;
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        struct Found {
            DWORD skip;
            HWND box = nullptr;
        } found{firstPid};
        ::EnumWindows(
            [](HWND w, LPARAM lp) -> BOOL {
                auto* f = reinterpret_cast<Found*>(lp);
                wchar_t cls[16] = {};
                ::GetClassNameW(w, cls, 16);
                if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(w) || ProcessOf(w) == f->skip) return TRUE;
                f->box = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (found.box) {
            wchar_t text[4096] = {};
            ::GetDlgItemTextW(found.box, 0xFFFF, text, 4096);  // a message box's text
            std::wstring line(text);
            for (auto& c : line)
                if (c == L'\n' || c == L'\r') c = L' ';
            Out(line);
            ::PostMessageW(found.box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        if (::GetTickCount64() >= end) return Fail(L"no message box of another process");
        ::Sleep(100);
    }
}

}  // namespace kvdrive
