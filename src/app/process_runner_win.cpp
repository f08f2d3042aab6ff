#include "app/process_runner_win.h"

#include <tlhelp32.h>

#include <atomic>
#include <vector>

#include "app/runner_text.h"
#include "win/clock.h"
#include "win/text.h"
#include "win/utf8.h"

namespace kv {

namespace {

std::atomic<bool> toolsBelowNormal{true};

}  // namespace

void SetToolsBelowNormal(bool belowNormal) noexcept { toolsBelowNormal = belowNormal; }
bool ToolsBelowNormal() noexcept { return toolsBelowNormal; }

namespace {

std::string ParametersOf(const LaunchOptions& o) {
    std::string params = o.parameters;
    for (const std::string& arg : o.arguments) params += (params.empty() ? "" : " ") + QuoteArgument(arg);
    return params;
}

// The list of handles a child may inherit, and nothing else of ours: another
// inheritable handle (a log of a transcoder started a moment before) stays ours.
class InheritOnly {
public:
    explicit InheritOnly(HANDLE handle) : handle_(handle) {
        if (!handle_) return;
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        list_ = list;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_, nullptr,
                                         nullptr))
            Reset();
    }
    ~InheritOnly() { Reset(); }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;
    [[nodiscard]] LPPROC_THREAD_ATTRIBUTE_LIST List() const noexcept { return list_; }
    [[nodiscard]] bool Usable() const noexcept { return !handle_ || list_; }

private:
    void Reset() noexcept {
        if (list_) ::DeleteProcThreadAttributeList(list_);
        list_ = nullptr;
    }
    HANDLE handle_;
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// A handle of the caller's made inheritable for one start only; as it was after.
class InheritableWhileStarting {
public:
    explicit InheritableWhileStarting(HANDLE handle) : handle_(handle) {
        DWORD flags = 0;
        if (!handle_ || !::GetHandleInformation(handle_, &flags)) return;
        was_ = (flags & HANDLE_FLAG_INHERIT) != 0;
        ::SetHandleInformation(handle_, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    ~InheritableWhileStarting() {
        if (handle_ && !was_) ::SetHandleInformation(handle_, HANDLE_FLAG_INHERIT, 0);
    }
    InheritableWhileStarting(const InheritableWhileStarting&) = delete;
    InheritableWhileStarting& operator=(const InheritableWhileStarting&) = delete;

private:
    HANDLE handle_;
    bool was_ = true;
};

win::UniqueFile OutputFileFor(const std::string& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return win::UniqueFile(::CreateFileW(win::FilePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Waits until the process has ended (or the wait fails), dispatching only paint
// messages. False when the time limit passed or `stop` was set first.
bool WaitForProcess(HANDLE process, DWORD timeoutMs, HANDLE stop) {
    const ULONGLONG deadline = timeoutMs == INFINITE ? 0 : win::AwakeMs() + timeoutMs;
    const HANDLE handles[2] = {process, stop};
    const DWORD count = stop ? 2 : 1;
    for (;;) {
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG now = win::AwakeMs();
            if (now >= deadline) return false;
            wait = static_cast<DWORD>(deadline - now);
        }
        const DWORD r = ::MsgWaitForMultipleObjects(count, handles, FALSE, wait, QS_PAINT | QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return true;
        if (r == WAIT_TIMEOUT || (stop && r == WAIT_OBJECT_0 + 1)) return false;
        if (r == WAIT_OBJECT_0 + count) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessageW(&msg);
        }
    }
}

// The program found in the current folder or along Path, or empty.
std::string LocateProgram(const std::string& exeName) {
    std::wstring path(32767, L'\0');
    path.resize(::GetEnvironmentVariableW(L"Path", path.data(), static_cast<DWORD>(path.size())));
    std::wstring cur(MAX_PATH * 4, L'\0');
    cur.resize(::GetCurrentDirectoryW(static_cast<DWORD>(cur.size()), cur.data()));
    return kv::LocateProgram(exeName, win::Narrow(path), win::Narrow(cur), [](const std::string& p) {
        const DWORD a = ::GetFileAttributesW(win::Widen(p).c_str());
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    });
}

// Creates the process, suspended when it goes into a job so that its children
// are born inside the job too. Null when it could not be created.
win::UniqueHandle Create(const LaunchOptions& o, HANDLE output, HANDLE job) {
    const auto line = BuildCommandLine(o.program, ParametersOf(o));
    if (!line) return {};
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::wstring wline = win::Widen(*line);
    if (wline.size() > kMaxCommandLine) return {};
    std::wstring dir = win::Widen(o.folder.empty() ? FolderPart(o.program) : o.folder);
    if (dir.empty()) dir = win::Widen(FolderPart(LocateProgram(o.program)));
    const InheritableWhileStarting inheritable(output);
    const InheritOnly inherit(output);
    if (!inherit.Usable()) return {};

    STARTUPINFOEXW si{};
    si.StartupInfo.cb = output ? sizeof si : sizeof si.StartupInfo;
    si.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | (output ? STARTF_USESTDHANDLES : 0);
    si.StartupInfo.wShowWindow = static_cast<WORD>(o.show & 0xFFFF);
    si.StartupInfo.hStdOutput = output;
    si.StartupInfo.hStdError = output;
    si.lpAttributeList = inherit.List();
    // A batch file's interpreter needs a console whatever the caller asked.
    const bool console = o.console || IsBatchFile(o.program);
    const DWORD priority = o.belowNormal ? BELOW_NORMAL_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS;
    const DWORD flags = (console ? CREATE_NEW_CONSOLE : DETACHED_PROCESS) | priority | (job ? CREATE_SUSPENDED : 0) |
                        (output ? EXTENDED_STARTUPINFO_PRESENT : 0);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, wline.data(), nullptr, nullptr, output ? TRUE : FALSE, flags, nullptr,
                          dir.empty() ? nullptr : dir.c_str(), &si.StartupInfo, &pi))
        return {};
    win::UniqueHandle process(pi.hProcess);
    const win::UniqueHandle thread(pi.hThread);
    // Asked once more of the process itself: not every implementation of the API takes the creation flag.
    if (o.belowNormal) (void)::SetPriorityClass(process.Get(), BELOW_NORMAL_PRIORITY_CLASS);
    if (job) {
        (void)::AssignProcessToJobObject(job, process.Get());  // without a job, the time limit ends the process alone
        ::ResumeThread(thread.Get());
    }
    return process;
}

// A job object that ends every process in it when its last handle closes,
// which the system does for us when this process ends in any way.
win::UniqueHandle NewKillOnCloseJob() {
    win::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    (void)::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

HANDLE ProcessWideJob() {
    static const win::UniqueHandle job = NewKillOnCloseJob();
    return job.Get();
}

}  // namespace

LaunchResult Launch(const LaunchOptions& o) {
    LaunchResult result;
    win::UniqueFile file;
    HANDLE output = o.output;
    if (!o.outputFile.empty()) {
        file = OutputFileFor(o.outputFile);
        if (!file) return result;
        output = file.Get();
    }
    const win::UniqueHandle job = o.inJob ? NewKillOnCloseJob() : win::UniqueHandle();
    win::UniqueHandle process = Create(o, output, job ? job.Get() : (o.endWithUs ? ProcessWideJob() : nullptr));
    if (!process) return result;
    if (!o.wait) {
        result.outcome = LaunchResult::Outcome::Started;
        result.process = std::move(process);
        return result;
    }
    if (WaitForProcess(process.Get(), o.timeLimitMs, o.stop)) {
        result.outcome = LaunchResult::Outcome::Ended;
        (void)::GetExitCodeProcess(process.Get(), &result.exitCode);
        return result;
    }
    if (job) ::TerminateJobObject(job.Get(), 1);
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 5000);
    result.outcome = LaunchResult::Outcome::TimedOut;
    return result;
}

namespace {

// Calls `visit(id, parent's id, image file name)` for each process of the system's list.
template <class Visit>
void ForEachProcess(Visit visit) {
    win::UniqueFile snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = ::Process32FirstW(snap.Get(), &e); ok; ok = ::Process32NextW(snap.Get(), &e))
        visit(e.th32ProcessID, e.th32ParentProcessID, win::Narrow(e.szExeFile));
}

// A child of this process: its parent's id is ours and it began after we did,
// so the id cannot be an older process's whose parent had our id before us;
// and it began before the snapshot, so it is the process the snapshot saw, not
// a newer one that took the id of a child that ended meanwhile.
bool IsOwnChild(HANDLE process, DWORD parentId, const FILETIME& snapshotTaken) {
    if (parentId != ::GetCurrentProcessId()) return false;
    FILETIME created{}, ownCreated{}, unused{};
    if (!::GetProcessTimes(process, &created, &unused, &unused, &unused)) return false;
    if (!::GetProcessTimes(::GetCurrentProcess(), &ownCreated, &unused, &unused, &unused)) return false;
    return ::CompareFileTime(&created, &ownCreated) >= 0 && ::CompareFileTime(&created, &snapshotTaken) <= 0;
}

}  // namespace

bool EndProcessesByName(const std::string& exeFileName) {
    bool result = false;
    FILETIME snapshotTaken{};
    ::GetSystemTimeAsFileTime(&snapshotTaken);
    ForEachProcess([&](DWORD id, DWORD parentId, const std::string& exe) {
        if (!SameTextAscii(FileNamePart(exe), exeFileName) && !SameTextAscii(exe, exeFileName)) return;
        win::UniqueHandle p(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id));
        if (p && IsOwnChild(p.Get(), parentId, snapshotTaken)) result = ::TerminateProcess(p.Get(), 1) != FALSE;
    });
    return result;
}

bool EndProcessesOfProgram(const std::string& programPath) {
    const std::wstring wanted = win::Widen(programPath);
    const std::string exeName = FileNamePart(programPath);
    bool ended = false;
    ForEachProcess([&](DWORD id, DWORD, const std::string& exe) {
        if (!SameTextAscii(FileNamePart(exe), exeName)) return;
        win::UniqueHandle p(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id));
        if (!p) return;  // another user's, or gone
        std::wstring image(32768, L'\0');
        DWORD size = static_cast<DWORD>(image.size());
        if (!::QueryFullProcessImageNameW(p.Get(), 0, image.data(), &size)) return;
        image.resize(size);
        // The same file by its full path, in any case; a program of the same name elsewhere is not ours.
        if (!win::SameTextAnyCase(image, wanted)) return;
        if (::TerminateProcess(p.Get(), 1)) ended = true;
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
