#include "app/process_runner.h"

#include <tlhelp32.h>

#include <mutex>
#include <vector>

#include "app/runner_text.h"
#include "win/clock.h"
#include "win/text.h"

namespace kv {

namespace {

// Processes this program started, kept open so their ids cannot be reused by
// another program while we might still end them by id.
struct Started {
    DWORD id;
    win::UniqueHandle handle;
};
std::vector<Started>& StartedProcesses() {
    static std::vector<Started> list;
    return list;
}

void PruneEnded() {
    auto& list = StartedProcesses();
    std::erase_if(list, [](const Started& s) { return ::WaitForSingleObject(s.handle.Get(), 0) == WAIT_OBJECT_0; });
}

// Where a started program's console and output go.
enum class Console { New, NewWithOutput, NoneWithOutput };

bool Launch(const std::string& program, const std::string& params, int visibility, win::UniqueHandle* processOut,
            HANDLE job = nullptr, HANDLE output = nullptr, Console console = Console::New) {
    const auto line = BuildCommandLine(program, params);
    if (!line) return false;
    std::wstring wline = win::Widen(*line);
    if (wline.size() > kMaxCommandLine) return false;
    std::wstring dir = win::Widen(FolderPart(program));
    if (dir.empty()) dir = win::Widen(FolderPart(LocateProgram(program)));

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(visibility & 0xFFFF);
    if (output) {
        si.dwFlags |= STARTF_USESTDHANDLES;
        si.hStdOutput = output;
        si.hStdError = output;
    }
    PROCESS_INFORMATION pi{};
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::vector<wchar_t> buf(wline.begin(), wline.end());
    buf.push_back(L'\0');
    // In a job, the process starts suspended so that its children are born inside the job too.
    // Without a console nothing else of the child's (a console host) can hold
    // its output file once it ends; a batch file's commands need one, though.
    const DWORD flags = (console == Console::NoneWithOutput ? DETACHED_PROCESS : CREATE_NEW_CONSOLE) |
                        NORMAL_PRIORITY_CLASS | (job ? CREATE_SUSPENDED : 0);
    if (!::CreateProcessW(nullptr, buf.data(), nullptr, nullptr, output ? TRUE : FALSE, flags, nullptr,
                          dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        return false;
    win::UniqueHandle process(pi.hProcess);
    win::UniqueHandle thread(pi.hThread);
    if (job) {
        (void)::AssignProcessToJobObject(job, process.Get());  // without a job, the time limit ends the process alone
        ::ResumeThread(thread.Get());
    }

    PruneEnded();
    HANDLE dup = nullptr;
    if (::DuplicateHandle(::GetCurrentProcess(), process.Get(), ::GetCurrentProcess(), &dup, 0, FALSE,
                          DUPLICATE_SAME_ACCESS))
        StartedProcesses().push_back({pi.dwProcessId, win::UniqueHandle(dup)});
    if (processOut) *processOut = std::move(process);
    return true;
}

}  // namespace

bool ShellExec(const std::string& program, const std::string& params, int visibility) {
    return Launch(program, params, visibility, nullptr);
}

bool ShellExec(const std::string& program, const std::string& params, int visibility, win::UniqueHandle& process) {
    return Launch(program, params, visibility, &process);
}

bool ShellExecToFile(const std::string& program, const std::string& params, HANDLE output, win::UniqueHandle& process) {
    return Launch(program, params, SW_HIDE, &process, nullptr, output, Console::NewWithOutput);
}

bool ShellExecWait(const std::string& program, const std::string& params, int visibility) {
    win::UniqueHandle process;
    if (!Launch(program, params, visibility, &process)) return false;
    WaitForProcess(process.Get());
    return true;
}

namespace {

bool WaitLimited(const std::string& program, const std::string& params, int visibility, DWORD timeoutMs, bool* timedOut,
                 HANDLE output) {
    const Console console = output ? Console::NoneWithOutput : Console::New;
    if (timedOut) *timedOut = false;
    // A batch file runs the tool as a child of the interpreter: ending the whole
    // job ends both when the limit passes.
    win::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    win::UniqueHandle process;
    if (!Launch(program, params, visibility, &process, job.Get(), output, console)) return false;
    if (WaitForProcess(process.Get(), timeoutMs)) return true;
    if (timedOut) *timedOut = true;
    if (job) ::TerminateJobObject(job.Get(), 1);
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 5000);
    return false;
}

}  // namespace

bool ShellExecWaitLimited(const std::string& program, const std::string& params, int visibility, DWORD timeoutMs,
                          bool* timedOut) {
    return WaitLimited(program, params, visibility, timeoutMs, timedOut, nullptr);
}

bool RunToFileLimited(const std::string& program, const std::string& params, const std::string& outputFile,
                      DWORD timeoutMs, bool* timedOut) {
    if (timedOut) *timedOut = false;
    // Inherited by the child alone: the handle is made inheritable only here,
    // and this program starts no other process with inheritance.
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    win::UniqueFile out(::CreateFileW(win::FilePath(outputFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    return WaitLimited(program, params, SW_HIDE, timeoutMs, timedOut, out.Get());
}

bool WaitForProcess(HANDLE process, DWORD timeoutMs) {
    const ULONGLONG deadline = timeoutMs == INFINITE ? 0 : win::AwakeMs() + timeoutMs;
    for (;;) {
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG now = win::AwakeMs();
            if (now >= deadline) return false;
            wait = static_cast<DWORD>(deadline - now);
        }
        const DWORD r = ::MsgWaitForMultipleObjects(1, &process, FALSE, wait, QS_PAINT | QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return true;
        if (r == WAIT_TIMEOUT) return false;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessageW(&msg);
        }
    }
}

std::string LocateProgram(const std::string& exeName) {
    std::wstring path(32767, L'\0');
    path.resize(::GetEnvironmentVariableW(L"Path", path.data(), static_cast<DWORD>(path.size())));
    std::wstring cur(MAX_PATH * 4, L'\0');
    cur.resize(::GetCurrentDirectoryW(static_cast<DWORD>(cur.size()), cur.data()));
    return LocateProgram(exeName, win::Narrow(path), win::Narrow(cur), [](const std::string& p) {
        const DWORD a = ::GetFileAttributesW(win::Widen(p).c_str());
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    });
}

namespace {

// Calls `visit(id, image file name)` for each process of the system's list.
template <class Visit>
void ForEachProcess(Visit visit) {
    win::UniqueFile snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = ::Process32FirstW(snap.Get(), &e); ok; ok = ::Process32NextW(snap.Get(), &e))
        visit(e.th32ProcessID, win::Narrow(e.szExeFile));
}

}  // namespace

bool EndProcessesByName(const std::string& exeFileName) {
    PruneEnded();
    bool result = false;
    ForEachProcess([&](DWORD id, const std::string& exe) {
        if (!SameTextAscii(FileNamePart(exe), exeFileName) && !SameTextAscii(exe, exeFileName)) return;
        for (const auto& s : StartedProcesses()) {
            if (s.id != id) continue;
            result = ::TerminateProcess(s.handle.Get(), 0) != FALSE;
        }
    });
    return result;
}

bool EndProcessesOfProgram(const std::string& programPath) {
    const std::wstring wanted = win::Widen(programPath);
    const std::string exeName = FileNamePart(programPath);
    bool ended = false;
    ForEachProcess([&](DWORD id, const std::string& exe) {
        if (!SameTextAscii(FileNamePart(exe), exeName)) return;
        win::UniqueHandle p(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id));
        if (!p) return;  // another user's, or gone
        std::wstring image(32768, L'\0');
        DWORD size = static_cast<DWORD>(image.size());
        if (!::QueryFullProcessImageNameW(p.Get(), 0, image.data(), &size)) return;
        image.resize(size);
        // The same file by its full path, in any case; a program of the same name elsewhere is not ours.
        if (::CompareStringOrdinal(image.c_str(), static_cast<int>(image.size()), wanted.c_str(),
                                   static_cast<int>(wanted.size()), TRUE) != CSTR_EQUAL)
            return;
        if (::TerminateProcess(p.Get(), 0)) ended = true;
    });
    return ended;
}

std::string ShortName(const std::string& path) {
    const std::wstring w = win::Widen(path);
    const DWORD n = ::GetShortPathNameW(w.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring out(n, L'\0');
    const DWORD got = ::GetShortPathNameW(w.c_str(), out.data(), n);
    if (got == 0 || got >= n) return path;
    out.resize(got);
    return win::Narrow(out);
}

}  // namespace kv
