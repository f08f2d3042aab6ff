#include "convert/conversion_run_win.h"

#include <shobjidl.h>

#include <string>

#include "app/process_runner_win.h"
#include "app/runner_text.h"
#include "app/settings_win.h"
#include "convert/job_rules.h"
#include "convert/part_files.h"
#include "convert/transcoder_log.h"
#include "win/error.h"
#include "win/file.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv {

namespace {

// A transcoder process and the system's wait on it, which tells the window the
// moment it ends: the run need not wait for its next tick, which matters over
// a batch of short files.
class WinTranscoder final : public ITranscoder {
public:
    WinTranscoder(win::UniqueHandle process, win::UniqueFile log, HWND notify, UINT message, std::int64_t jobId)
        : process_(std::move(process)), log_(std::move(log)), target_{notify, message, jobId} {
        // A handle of its own to read the report while the transcoder writes
        // it: the log's handle shares its file position with the child's.
        if (log_)
            reader_.Reset(
                ::ReOpenFile(log_.Get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
        HANDLE wait = nullptr;
        if (::RegisterWaitForSingleObject(&wait, process_.Get(), &Exited, &target_, INFINITE, WT_EXECUTEONLYONCE))
            wait_.Reset(wait);
    }
    // The wait goes first (declared last): its callback reads target_.
    ~WinTranscoder() override = default;
    WinTranscoder(const WinTranscoder&) = delete;
    WinTranscoder& operator=(const WinTranscoder&) = delete;

    bool Exited() override { return ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }
    std::uint32_t ExitCode() override {
        DWORD code = 1;
        ::GetExitCodeProcess(process_.Get(), &code);
        return code;
    }
    // Ending is asynchronous; the output can be deleted only once it is done.
    void Terminate() noexcept override {
        ::TerminateProcess(process_.Get(), 1);
        ::WaitForSingleObject(process_.Get(), kEndWaitMs);
    }
    std::optional<std::string> ErrorOutput() override {
        if (!log_) return std::nullopt;
        // The transcoder wrote through its copy of this handle: read from the start.
        LARGE_INTEGER zero{};
        if (!::SetFilePointerEx(log_.Get(), zero, nullptr, FILE_BEGIN)) return std::nullopt;
        return win::ReadToEnd(log_.Get());
    }

    // The last progress reading in the report's tail.
    std::optional<double> ReachedSoFar() override {
        if (!reader_) return std::nullopt;
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(reader_.Get(), &size)) return std::nullopt;
        LARGE_INTEGER from{};
        from.QuadPart = size.QuadPart > kTailBytes ? size.QuadPart - kTailBytes : 0;
        if (!::SetFilePointerEx(reader_.Get(), from, nullptr, FILE_BEGIN)) return std::nullopt;
        std::string tail(kTailBytes, '\0');
        DWORD got = 0;
        if (!::ReadFile(reader_.Get(), tail.data(), kTailBytes, &got, nullptr)) return std::nullopt;
        tail.resize(got);
        return ReachedSeconds(tail);
    }

private:
    static constexpr DWORD kEndWaitMs = 5000;
    static constexpr DWORD kTailBytes = 4096;
    struct Target {
        HWND window;
        UINT message;
        std::int64_t jobId;
    };
    // Runs on a system wait thread: only hands the news to the window's thread.
    static void CALLBACK Exited(PVOID context, BOOLEAN) {
        const auto* t = static_cast<const Target*>(context);
        ::PostMessageW(t->window, t->message, 0, static_cast<LPARAM>(t->jobId));
    }

    win::UniqueHandle process_;
    win::UniqueFile log_;  // deleted by the system when closed
    win::UniqueFile reader_;
    Target target_;
    win::UniqueWait wait_;
};

// A temporary file for the transcoder's error output, which the child inherits;
// it goes when the last handle to it closes, so nothing is left behind.
win::UniqueFile NewLogFile(std::int64_t jobId) {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) return {};
    const std::wstring path = std::wstring(folder, n) + L"korvello-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(jobId) + L"-" + std::to_wstring(::GetTickCount64()) + L".log";
    return win::UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

}  // namespace

WinRunPlatform::WinRunPlatform(HWND notify, UINT exitMessage, HWND taskbarWindow, win::MsClock clock)
    : notify_(notify), exitMessage_(exitMessage), taskbarWindow_(taskbarWindow), clock_(clock) {}

WinRunPlatform::~WinRunPlatform() = default;

// The taskbar's interface is asked for at the first report: by then the button
// exists. Where there is none (no shell, no COM), progress is simply not shown.
void WinRunPlatform::ShowProgress(const RunProgress& progress) {
    if (!taskbarWindow_) return;
    if (!taskbarTried_) {
        taskbarTried_ = true;
        if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                         taskbar_.PutVoid())) &&
            FAILED(taskbar_->HrInit()))
            taskbar_.Reset();
    }
    if (!taskbar_) return;
    switch (progress.state) {
    case RunProgress::State::None:
        taskbar_->SetProgressState(taskbarWindow_, TBPF_NOPROGRESS);
        return;
    case RunProgress::State::Normal:
    case RunProgress::State::Error:
        taskbar_->SetProgressValue(taskbarWindow_, progress.completed, progress.total);
        taskbar_->SetProgressState(taskbarWindow_,
                                   progress.state == RunProgress::State::Error ? TBPF_ERROR : TBPF_NORMAL);
        return;
    }
}

bool WinRunPlatform::FileExists(const std::string& path) const { return kv::FileExists(path); }

std::unique_ptr<ITranscoder> WinRunPlatform::StartTranscoder(const std::string& program, const std::string& args,
                                                             std::int64_t jobId) {
    // Without its report nothing could tell a whole MP3 from a cut one: no log, no start.
    win::UniqueFile log = NewLogFile(jobId);
    if (!log) return nullptr;
    // No console: the transcoder's report goes to the log, and a console of
    // its own would cost each file a console host's start.
    LaunchResult started = Launch({.program = program,
                                   .parameters = args,
                                   .show = SW_HIDE,
                                   .console = false,
                                   .endWithUs = true,
                                   .belowNormal = ToolsBelowNormal(),
                                   .output = log.Get()});
    if (!started.process) return nullptr;
    return std::make_unique<WinTranscoder>(std::move(started.process), std::move(log), notify_, exitMessage_, jobId);
}

// The size of a file the transcoder is still writing: one open per tick, which
// also tells a file not yet written from one that cannot be read.
OutputSize WinRunPlatform::MeasureOutput(const std::string& path) {
    const std::wstring w = win::FilePath(path);
    win::UniqueFile f(::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        return {true, false, 0};  // held by another program, or refused: the next tick looks again
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(f.Get(), &size)) return {true, false, 0};
    return {true, true, static_cast<std::int64_t>(size.QuadPart)};
}

std::string WinRunPlatform::PartialOutputPath(const std::string& finalPath, std::int64_t jobId) {
    // Remembered before anything is written there: a crash from here on leaves
    // a file the next start finds. Settings that cannot be written: the output
    // folder is still swept.
    GuardedStep([&] { RememberPartFolder(FolderPart(finalPath)); });
    const std::string base = PartTagText(OwnPartTag(jobId));
    for (int n = 1;; ++n) {
        std::string path = kv::PartialOutputPath(finalPath, n == 1 ? base : base + "-" + std::to_string(n));
        // A file of that name is no file of ours: it is never overwritten.
        if (::GetFileAttributesW(win::FilePath(path).c_str()) == INVALID_FILE_ATTRIBUTES || n >= 1000) return path;
    }
}

// The MP3 reaches the disk before it takes the name: a power cut right after
// must not leave a short or zeroed file where an older one was.
Commit WinRunPlatform::CommitOutput(const std::string& partialPath, const std::string& finalPath, bool replace) {
    const std::wstring from = win::FilePath(partialPath);
    {
        win::UniqueFile f(
            ::CreateFileW(from.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!f) return ::GetLastError() == ERROR_SHARING_VIOLATION ? Commit::Held : Commit::Failed;
        if (!::FlushFileBuffers(f.Get())) return Commit::Failed;
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (::MoveFileExW(from.c_str(), win::FilePath(finalPath).c_str(), flags)) return Commit::Done;
    switch (::GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return replace ? Commit::Failed : Commit::Taken;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:  // also what a file being deleted or opened without delete sharing gives
    case ERROR_USER_MAPPED_FILE:
        return Commit::Held;
    default:
        return Commit::Failed;
    }
}

std::optional<FileId> WinRunPlatform::IdentityOf(const std::string& path) const { return kv::FileIdentity(path); }

bool WinRunPlatform::SameName(const std::string& a, const std::string& b) const { return kv::SameFileName(a, b); }

void WinRunPlatform::DiscardOutput(const std::string& partialPath) noexcept {
    try {
        ::DeleteFileW(win::FilePath(partialPath).c_str());
    } catch (const std::exception&) {  // only a path the system cannot take: then there is no file
        return;
    }
}

std::unique_ptr<TimerPort> WinRunPlatform::NewTimerPort() { return MakeWindowTimerPort(); }

namespace {

bool IsFolder(const std::string& path) {
    const DWORD a = ::GetFileAttributesW(win::FilePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Each missing folder from the root down; one made meanwhile by another copy is as good.
bool WinRunPlatform::MakeFolder(const std::string& folder) {
    if (IsFolder(folder)) return true;
    // Past the root: "X:\" or "\\server\share\".
    std::size_t from = 3;
    if (folder.starts_with("\\\\")) {
        const std::size_t share = folder.find('\\', 2);
        from = share == std::string::npos ? folder.size() : folder.find('\\', share + 1);
        if (from == std::string::npos) from = folder.size();
    }
    for (std::size_t at = folder.find('\\', from);; at = folder.find('\\', at + 1)) {
        const std::string step = folder.substr(0, at);
        if (!IsFolder(step)) (void)::CreateDirectoryW(win::FilePath(step).c_str(), nullptr);
        if (at == std::string::npos) break;
    }
    return IsFolder(folder);
}

// Only the times are touched: the MP3's contents stay as written.
void WinRunPlatform::CopyDates(const std::string& from, const std::string& to) {
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const win::UniqueFile source(::CreateFileW(win::FilePath(from).c_str(), FILE_READ_ATTRIBUTES, kShare, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME created{}, accessed{}, written{};
    if (!source || !::GetFileTime(source.Get(), &created, &accessed, &written)) return;
    const win::UniqueFile target(
        ::CreateFileW(win::FilePath(to).c_str(), FILE_WRITE_ATTRIBUTES, kShare, nullptr, OPEN_EXISTING, 0, nullptr));
    if (target) (void)::SetFileTime(target.Get(), &created, nullptr, &written);
}

}  // namespace kv
