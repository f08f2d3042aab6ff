// Drives a running Korvello from outside, the way a user would: through its
// window's controls, found by their places in the window's layout. Used by the
// end-to-end scripts, the demo run and the benchmarks. Output is UTF-8; exit code
// 0 means success, 1 failure, 2 a message box answered instead of the expected result.
#include "main.h"

#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "desktop.h"
#include "dialogs.h"
#include "lists.h"

namespace kvdrive {

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
        L"  text Edit1..3|Button1..3  the text of an edit box or a push button\n"
        L"  window-rect               main window position and size on the screen\n"
        L"  memory                    memory counters of the program\n"
        L"  launch-time EXE CLASS N close-button|wm-close\n"
        L"  time-run N [--new-console] [--hidden] [--job] PROGRAM [ARGS...]\n"
        L"  write-files DIR FILE...\n"
        L"  hold-desktop SECONDS      keep Wine's desktop process up (a hidden window)\n"
        L"  kill-child EXE            end the program's own processes of that name\n"
        L"  end-child EXE CODE        the same, with that exit code\n"
        L"  answer-box SECONDS        a message box of another process: print its text, press OK\n"
        L"  handles                   number of open handles of the program\n"
        L"  registry-access SUBKEY read|none|full   change the access to a key of HKCU\n"
        L"  lock-file PATH SECONDS    hold a file open with no sharing\n"
        L"  list-files PATTERN        the files a folder listing gives, in its order");
    return 1;
}

namespace {

double Seconds(const wchar_t* s) { return std::wcstod(s, nullptr); }

}  // namespace

}  // namespace kvdrive

using namespace kvdrive;

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

namespace {

using Args = std::vector<std::wstring>;
double Sec(const std::wstring& s) { return std::wcstod(s.c_str(), nullptr); }
int Int(const std::wstring& s) { return static_cast<int>(std::wcstol(s.c_str(), nullptr, 10)); }
Args From(const Args& a, size_t first) { return Args(a.begin() + static_cast<std::ptrdiff_t>(first), a.end()); }

// The files to add, after an optional --timing; nothing without one.
int AddFilesCommand(Args a) {
    const bool timing = !a.empty() && a[0] == L"--timing";
    if (timing) a.erase(a.begin());
    return a.empty() ? Usage() : AddFiles(a, timing);
}

int AddFolderCommand(Args a) {
    const bool timing = !a.empty() && a[0] == L"--timing";
    if (timing) a.erase(a.begin());
    return a.size() != 2 ? Usage() : AddFolder(a[0], Sec(a[1]), timing);
}

int ConvertCommand(const Args& a) {
    if (a.size() >= 2 && a[0] == L"--wait") return Convert(Sec(a[1]));
    return a.empty() ? Convert(std::nullopt) : Usage();
}

// Each command with the fewest parameters it takes.
struct Command {
    const wchar_t* name;
    size_t parameters;
    int (*run)(const Args&);
};
const Command kCommands[] = {
    // Windows and the main window's controls.
    {L"wait-window", 1, [](const Args& a) { return WaitWindow(Sec(a[0])); }},
    {L"count-instances", 0, [](const Args&) { return CountInstances(); }},
    {L"close", 0, [](const Args&) { return Close(); }},
    {L"keys", 1, [](const Args& a) { return Keys(a); }},
    {L"wait-exit", 1, [](const Args& a) { return WaitExit(Sec(a[0])); }},
    {L"text", 1, [](const Args& a) { return ControlText(a[0]); }},
    {L"window-rect", 0, [](const Args&) { return WindowRect(); }},
    {L"hold-desktop", 1, [](const Args& a) { return HoldDesktop(Sec(a[0])); }},
    // The job list.
    {L"rows", 0, [](const Args&) { return PrintRowsCommand(); }},
    {L"click-cell", 2, [](const Args& a) { return ClickCell(Int(a[0]), Int(a[1])); }},
    {L"wait-idle", 1, [](const Args& a) { return WaitIdle(Sec(a[0])); }},
    {L"wait-progress", 1, [](const Args& a) { return WaitProgress(Sec(a[0])); }},
    {L"wait-running", 1, [](const Args& a) { return WaitRunning(Sec(a[0])); }},
    // The dialogs: adding files and folders, converting.
    {L"add-file", 1, [](const Args& a) { return AddFilesCommand(a); }},
    {L"add-folder", 0, [](const Args& a) { return AddFolderCommand(a); }},
    {L"convert", 0, [](const Args& a) { return ConvertCommand(a); }},
    // Processes, files, the registry and timing.
    {L"count-processes", 1, [](const Args& a) { return CountProcesses(a[0]); }},
    {L"priorities", 1, [](const Args& a) { return Priorities(a[0]); }},
    {L"attrs", 1, [](const Args& a) { return Attributes(a[0]); }},
    {L"memory", 0, [](const Args&) { return Memory(); }},
    {L"launch-time", 4, [](const Args& a) { return LaunchTime(a[0], a[1], Int(a[2]), a[3]); }},
    {L"time-run", 2, [](const Args& a) { return TimeRun(Int(a[0]), From(a, 1)); }},
    {L"write-files", 2, [](const Args& a) { return WriteFiles(a[0], From(a, 1)); }},
    {L"kill-child", 1, [](const Args& a) { return KillChild(a[0]); }},
    {L"answer-box", 1, [](const Args& a) { return AnswerBox(Seconds(a[0].c_str())); }},
    {L"end-child", 2,
     [](const Args& a) { return KillChild(a[0], static_cast<DWORD>(std::wcstoul(a[1].c_str(), nullptr, 10))); }},
    {L"handles", 0, [](const Args&) { return Handles(); }},
    {L"registry-access", 2, [](const Args& a) { return RegistryAccess(a[0], a[1]); }},
    {L"list-files", 1, [](const Args& a) { return ListFiles(a[0]); }},
    {L"lock-file", 2, [](const Args& a) { return LockFile(a[0], Sec(a[1])); }},
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DeclareDpiAware();
    if (argc < 2) return Usage();
    const Args args(argv + 2, argv + argc);
    for (const Command& c : kCommands)
        if (argv[1] == std::wstring_view(c.name) && args.size() >= c.parameters) return c.run(args);
    return Usage();
}
