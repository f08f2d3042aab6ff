#include "convert/conversion_run.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "convert/job_rules.h"

namespace kv {

ConversionRun::ConversionRun(RunState& state, JobList& jobs, IRunPlatform& platform, TComponent* timerOwner)
    : state_(state), jobs_(jobs), platform_(platform), timerOwner_(timerOwner) {}

ConversionRun::~ConversionRun() { Abandon(); }

void ConversionRun::Abandon() noexcept {
    if (transcoder_) transcoder_->Terminate();
    transcoder_.reset();
    if (!partialPath_.empty()) platform_.DiscardOutput(partialPath_);
    partialPath_.clear();
    // No tick follows: nothing of the run acts on a closing window. Busy stays
    // set, so nothing new starts either.
    delete currentTimer_;
    currentTimer_ = nullptr;
    currentJobId_ = 0;
}

void ConversionRun::Convert() {
    state_.OutputRateKB = 16.0;
    if (state_.Busy) return;
    // With every row of a run removed, the run still ends: its names are freed
    // and the user is told.
    if (jobs_.Count() == 0 && !runActive_) return;
    // A job that cannot even start fails at once; the run goes on with the next row.
    while (!StartNextJob()) {
        if (state_.CurrentJob < 0) {
            if (runActive_) {
                runActive_ = false;
                runOutputs_.clear();
                platform_.ShowProgress({});
                platform_.RunFinished();
            }
            return;
        }
    }
}

// Starts the first pending row. False when there was none (CurrentJob is then
// -1) or when its transcoder could not be started (the row then reads "Failed").
bool ConversionRun::StartNextJob() {
    const Job* job = jobs_.FirstPending();
    state_.CurrentJob = job ? jobs_.IndexOf(job->id) : -1;
    if (!job) return false;
    if (!runActive_) {
        runActive_ = true;
        runOutputs_.clear();
        finishedInRun_ = 0;
        failedInRun_ = false;
    }

    state_.InputPath = job->input.Text();
    // Two rows of one run with the same file name must not overwrite each other;
    // a file from before the run is overwritten as the user expects.
    state_.OutputPath = FreeOutputPath(OutputPathFor(platform_.WorkDir(), state_.InputPath), runOutputs_);
    currentJobId_ = job->id;
    partialPath_ = platform_.PartialOutputPath(state_.OutputPath, currentJobId_);
    verdict_.reset();
    // A line that cannot carry the paths is never started.
    const std::optional<std::string> args = FfmpegArgsFor(job->input, partialPath_);
    state_.FfmpegArgs = args.value_or("");
    currentDuration_ = job->duration;
    state_.ExpectedSize = ExpectedSizeFor(currentDuration_, state_.OutputRateKB);
    runOutputs_.insert(LowerAscii(state_.OutputPath));
    jobs_.Start(currentJobId_, state_.OutputPath);

    secondStartLeft_ = true;
    if (!args || !StartTranscoder()) {
        partialPath_.clear();
        jobs_.Finish(std::exchange(currentJobId_, 0), Failure::NotStarted);
        ++finishedInRun_;
        failedInRun_ = true;
        return false;
    }
    state_.Busy = true;
    state_.LastSize = 0;

    auto timer = std::make_unique<TAdvancedTimer>(timerOwner_, platform_.NewTimerPort());
    try {
        timer->SetBuddy(partialPath_);
        timer->SetMessage(std::to_string(state_.ExpectedSize));
        timer->SetInterval(kTickMs);
        timer->SetEnabled(true);
        timer->OnTimer = OnTick ? OnTick : TTimerEvent([this](TAdvancedTimer* sender) { Tick(sender); });
    } catch (...) {
        // A job nobody can follow must not leave the window busy for good.
        Abandon();
        state_.Busy = false;
        jobs_.Finish(job->id, Failure::Unknown);
        throw;
    }
    currentTimer_ = timer.release();
    ReportProgress(0);
    return true;
}

bool ConversionRun::StartTranscoder() {
    transcoder_.reset();
    grownTo_ = -1;
    grownAtMs_ = platform_.NowMs();
    transcoder_ = platform_.StartTranscoder(platform_.FfmpegPath(), state_.FfmpegArgs, currentJobId_);
    return transcoder_ != nullptr;
}

void ConversionRun::Tick(TAdvancedTimer* sender) {
    // The run follows its own row, wherever rows removed above it have moved it.
    const int row = jobs_.IndexOf(currentJobId_);
    if (row < 0) {
        // The running row was removed: its transcoder goes with it.
        if (transcoder_) transcoder_->Terminate();
        FinishJob(sender, Failure::Unknown);
        return;
    }
    state_.CurrentJob = row;
    const bool exited = !transcoder_ || transcoder_->Exited();

    const OutputSize size = platform_.MeasureOutput(sender->Buddy());
    if (!size.readable) {
        // Held open by another program for a moment: only the stall rule ends the job.
        if (StalledNow()) {
            if (transcoder_ && !exited) transcoder_->Terminate();
            FinishJob(sender, exited ? Failure::OutputLocked : Failure::Stalled);
        }
        return;
    }
    if (size.exists) {
        const std::int64_t percent = PercentOf(size.bytes, state_.ExpectedSize);
        jobs_.SetPercent(currentJobId_, percent);
        ReportProgress(percent);
    }
    if (exited) {
        Finished(sender, transcoder_ ? transcoder_->ExitCode() : 1, size);
        return;
    }
    if (size.exists) state_.LastSize = size.bytes;
    // A transcoder that stops writing and never ends would keep the window busy
    // for good: one whose output has not grown for a minute is ended.
    const std::int64_t now = size.exists ? size.bytes : -1;
    if (now > grownTo_) {
        grownTo_ = now;
        grownAtMs_ = platform_.NowMs();
    } else if (StalledNow()) {
        if (transcoder_) transcoder_->Terminate();
        FinishJob(sender, Failure::Stalled);
    }
}

bool ConversionRun::StalledNow() const { return platform_.NowMs() - grownAtMs_ >= StallMs; }

// The transcoder has ended: judge its output once, then give a whole MP3 its
// name, on later ticks too while another program holds one of the files.
void ConversionRun::Finished(TAdvancedTimer* timer, std::uint32_t code, const OutputSize& size) {
    if (!verdict_) {
        // Now and then a transcoder fails before it has written a byte, and the
        // same file converts on a second start; a file that cannot be converted
        // fails twice, at the cost of one more short run.
        if (code != 0 && (!size.exists || size.bytes == 0) && secondStartLeft_ && transcoder_) {
            secondStartLeft_ = false;
            if (StartTranscoder()) return;
        }
        verdict_ = Verdict(code, size);
    }
    if (*verdict_ != Failure::None) {
        FinishJob(timer, *verdict_);
        return;
    }
    switch (platform_.CommitOutput(partialPath_, state_.OutputPath)) {
    case Commit::Done:
        partialPath_.clear();
        FinishJob(timer, Failure::None);
        return;
    case Commit::Held:
        if (StalledNow()) FinishJob(timer, Failure::OutputLocked);
        return;
    case Commit::Failed:
        FinishJob(timer, Failure::OutputFolder);
        return;
    }
}

// Whether the MP3 holds the whole sound. A report without complaint means it
// does: a container can last longer than its sound (a video with a short audio
// track), so its duration alone cannot tell. A complaint means it does only when
// the output still reaches the input's end: a few damaged packets cost
// milliseconds, a cut file everything after the cut. Without a report the size
// against the stored duration decides.
Failure ConversionRun::Verdict(std::uint32_t code, const OutputSize& size) {
    const std::optional<std::string> log = transcoder_ ? transcoder_->ErrorOutput() : std::nullopt;
    if (code == 0 && size.exists && size.bytes > 0) {
        if (!log) return OutputComplete(size.bytes, currentDuration_) ? Failure::None : Failure::Damaged;
        if (!DamageReported(*log)) return Failure::None;
        // The stored duration is whole seconds plus one: the input lasts at least one second less.
        const double input = InputSeconds(*log).value_or(static_cast<double>(currentDuration_ - 1));
        const double reached = ReachedSeconds(*log).value_or(static_cast<double>(size.bytes) / kMp3BytesPerSecond);
        return CoversInput(reached, input) ? Failure::None : Failure::Damaged;
    }
    if (code == 0) return Failure::Unknown;  // ended well, yet no MP3
    return ClassifyFailure(code, log.value_or(""), state_.InputPath, partialPath_);
}

void ConversionRun::OnJobExited(std::int64_t jobId) {
    // A late notice from a job that has already finished is ignored.
    if (state_.Busy && currentTimer_ && jobId == currentJobId_) Tick(currentTimer_);
}

// Ends the current job: its row reads "Done" with "MP3", or "Failed" and what it
// wrote goes; then the next pending row starts and this job's timer goes.
void ConversionRun::FinishJob(TAdvancedTimer* timer, Failure failure) {
    if (!partialPath_.empty()) platform_.DiscardOutput(partialPath_);
    partialPath_.clear();
    if (jobs_.Finish(currentJobId_, failure)) {
        ++finishedInRun_;
        if (failure != Failure::None) failedInRun_ = true;
    }
    transcoder_.reset();
    currentJobId_ = 0;
    currentTimer_ = nullptr;
    state_.Busy = false;
    // The timer goes even when starting the next job throws.
    const std::unique_ptr<TAdvancedTimer> done(timer);
    Convert();
}

// The rows of the run are those it finished and those still to do, the
// running one included; rows removed on the way leave it.
void ConversionRun::ReportProgress(std::int64_t runningPercent) {
    const auto pending = static_cast<std::uint64_t>(jobs_.CountIn(JobState::Pending));
    const std::uint64_t rows = static_cast<std::uint64_t>(finishedInRun_) + pending + 1;
    const std::uint64_t percent = static_cast<std::uint64_t>(std::clamp<std::int64_t>(runningPercent, 0, 100));
    platform_.ShowProgress({failedInRun_ ? RunProgress::State::Error : RunProgress::State::Normal,
                            static_cast<std::uint64_t>(finishedInRun_) * 100 + percent, rows * 100});
}

}  // namespace kv
