// The conversion run: one transcoder at a time, in list order, each followed by
// a timer that shows the MP3 file's growth against the size its duration predicts.
#include "app/error.h"
#include "app/process_runner.h"
#include "app/settings.h"
#include "components/advantmr.h"
#include "convert/job_rules.h"
#include "ui/main_form.h"
#include "win/text.h"

namespace kv {

namespace {

constexpr std::uint32_t kTickMs = 500;

// Runs on a system wait thread: only hands the news to the window's thread.
void CALLBACK TranscoderExited(PVOID context, BOOLEAN) {
    auto* target = static_cast<std::pair<HWND, std::int64_t>*>(context);
    ::PostMessageW(target->first, kv::TfrmMain::kJobExitedMessage, 0, static_cast<LPARAM>(target->second));
}

// The size of a file the transcoder is still writing; nothing when it does not
// exist yet. Throws when it exists but cannot be opened.
std::optional<std::int64_t> MeasureOutput(const std::string& path) {
    const std::wstring w = win::Widen(path);
    if (::GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    win::UniqueFile f(::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) throw Error("Cannot open file \"" + path + "\"");
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(f.Get(), &size)) throw Error("Cannot open file \"" + path + "\"");
    return static_cast<std::int64_t>(size.QuadPart);
}

}  // namespace

void TfrmMain::EzRgnBtn3Click() {
    OutputRateKB = 16.0;
    if (Busy) return;
    if (jobs_->Count() == 0) return;
    // A job that cannot even start fails at once; the run goes on with the next row.
    while (!StartNextJob()) {
        if (CurrentJob < 0) {
            if (runActive_) SignalRunFinished();
            return;
        }
    }
}

// Starts the first pending row. False when there was none (CurrentJob is then
// -1) or when its transcoder could not be started (the row then reads "Failed").
bool TfrmMain::StartNextJob() {
    CurrentJob = -1;
    for (int i = 0; i < jobs_->Count(); ++i) {
        if (jobs_->Progress(i) == kPending) {
            CurrentJob = i;
            break;
        }
    }
    if (CurrentJob == -1) return false;
    if (!runActive_) {
        runActive_ = true;
        runOutputs_.clear();
    }

    InputPath = jobs_->Path(CurrentJob);
    // Two rows of one run with the same file name must not overwrite each other;
    // a file from before the run is overwritten as the user expects.
    OutputPath = FreeOutputPath(OutputPathFor(WorkDir, InputPath), runOutputs_);
    FfmpegArgs = FfmpegArgsFor(InputPath, OutputPath);
    currentDuration_ = std::strtoll(jobs_->Duration(CurrentJob).c_str(), nullptr, 10);
    ExpectedSize = ExpectedSizeFor(currentDuration_, OutputRateKB);
    currentJobId_ = jobs_->IdAt(CurrentJob);
    runOutputs_.insert(LowerAscii(OutputPath));

    currentProcess_.Reset();
    secondStartLeft_ = true;
    if (!ShellExec(FfmpegPath, FfmpegArgs, SW_HIDE, currentProcess_)) {
        jobs_->SetProgress(CurrentJob, std::string(kFailed));
        return false;
    }
    Busy = true;
    LastSize = 0;

    auto* timer = new TAdvancedTimer(this);
    currentTimer_ = timer;
    try {
        timer->SetBuddy(OutputPath);
        timer->SetMessage(std::to_string(ExpectedSize));
        timer->SetInterval(kTickMs);
        timer->SetEnabled(true);
        timer->OnTimer = [this](TAdvancedTimer* sender) { MyTimerEventHandlerConversion(sender); };
    } catch (...) {
        // A job nobody can follow must not leave the window busy for good.
        delete timer;
        currentTimer_ = nullptr;
        ::TerminateProcess(currentProcess_.Get(), 1);
        currentProcess_.Reset();
        Busy = false;
        jobs_->SetProgress(CurrentJob, std::string(kFailed));
        throw;
    }
    WatchTranscoder();
    return true;
}

// The tick would see the transcoder's end within half a second; this makes it
// immediate, which matters over a batch of short files.
void TfrmMain::WatchTranscoder() {
    exitTarget_ = {Handle(), currentJobId_};
    if (!::RegisterWaitForSingleObject(&exitWait_, currentProcess_.Get(), &TranscoderExited, &exitTarget_, INFINITE,
                                       WT_EXECUTEONLYONCE))
        exitWait_ = nullptr;
}

void TfrmMain::MyTimerEventHandlerConversion(TAdvancedTimer* sender) {
    // The run follows its own row, wherever rows removed above it have moved it.
    const int row = jobs_->IndexOf(currentJobId_);
    if (row < 0) {
        // The running row was removed: its transcoder goes with it.
        if (currentProcess_) ::TerminateProcess(currentProcess_.Get(), 1);
        FinishJob(sender, false, -1);
        return;
    }
    CurrentJob = row;
    const bool exited = !currentProcess_ || ::WaitForSingleObject(currentProcess_.Get(), 0) == WAIT_OBJECT_0;

    std::optional<std::int64_t> size;
    try {
        size = MeasureOutput(sender->Buddy());
    } catch (const Error&) {
        // A file that cannot be measured cannot be followed: fail this job, go on.
        if (currentProcess_ && !exited) ::TerminateProcess(currentProcess_.Get(), 1);
        FinishJob(sender, false, row);
        return;
    }
    if (size) jobs_->SetProgress(row, PercentText(PercentOf(*size, ExpectedSize)));

    if (exited) {
        DWORD code = 1;
        if (currentProcess_) ::GetExitCodeProcess(currentProcess_.Get(), &code);
        // Now and then a transcoder fails before it has written a byte, and the
        // same file converts on a second start; a file that cannot be converted
        // fails twice, at the cost of one more short run.
        if (code != 0 && (!size || *size == 0) && secondStartLeft_ && currentProcess_) {
            secondStartLeft_ = false;
            StopExitWait();
            currentProcess_.Reset();
            if (ShellExec(FfmpegPath, FfmpegArgs, SW_HIDE, currentProcess_)) {
                WatchTranscoder();
                return;
            }
        }
        FinishJob(sender, code == 0 && size && OutputComplete(*size, currentDuration_), row);
        return;
    }
    if (size) LastSize = *size;
}

// Ends the current job: its row reads "Done" with "MP3", or "Failed"; then the
// next pending row starts and this job's timer goes.
void TfrmMain::StopExitWait() {
    // Waits for a running callback to finish, so exitTarget_ can be reused safely.
    if (exitWait_) ::UnregisterWaitEx(exitWait_, INVALID_HANDLE_VALUE);
    exitWait_ = nullptr;
}

void TfrmMain::OnJobExited(std::int64_t jobId) {
    if (Busy && currentTimer_ && jobId == currentJobId_) MyTimerEventHandlerConversion(currentTimer_);
}

void TfrmMain::FinishJob(TAdvancedTimer* timer, bool ok, int row) {
    StopExitWait();
    if (row >= 0) {
        if (ok) {
            jobs_->SetProgress(row, std::string(kDone));
            jobs_->SetConverted(row, std::string(kConvertedMark));
        } else {
            jobs_->SetProgress(row, std::string(kFailed));
        }
    }
    currentProcess_.Reset();
    currentJobId_ = 0;
    currentTimer_ = nullptr;
    Busy = false;
    EzRgnBtn3Click();
    delete timer;
}

void TfrmMain::SignalRunFinished() {
    runActive_ = false;
    runOutputs_.clear();
    if (::GetForegroundWindow() == Handle()) return;
    FLASHWINFO fi{sizeof fi, app_.Handle(), FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&fi);
}

}  // namespace kv
