#include "convert/conversion_run.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <utility>

#include "convert/job_rules.h"
#include "win/error.h"
#include "win/utf8.h"

namespace kv {

struct ConversionRun::Job {
    std::int64_t id = 0;
    TAdvancedTimer* timer = nullptr;  // deleted when the job ends
    std::unique_ptr<ITranscoder> transcoder;
    std::string input, output, partial, args;
    std::string named;  // the MP3's name before any number was added
    Mp3Quality quality = Mp3Quality::Kbps128;
    WhenMp3Exists whenExists = WhenMp3Exists::Replace;
    std::int64_t duration = 0;  // the stored duration
    std::int64_t expectedSize = 0;
    std::int64_t percent = 0;
    std::optional<Failure> verdict;  // once the transcoder has ended and its output was judged
    bool secondStartLeft = true;     // it may start its transcoder once more
    bool skipped = false;            // its name was taken meanwhile, and the user chose to skip
    // The output's size when it last grew, and when that was.
    std::int64_t grownTo = -1;
    std::uint64_t grownAtMs = 0;
};

bool IRunPlatform::SameName(const std::string& a, const std::string& b) const { return SameTextAscii(a, b); }

ConversionRun::ConversionRun(JobList& jobs, IRunPlatform& platform, IRunOwner& owner, TComponent* timerOwner)
    : jobs_(jobs), platform_(platform), owner_(owner), timerOwner_(timerOwner) {}

ConversionRun::~ConversionRun() { Abandon(); }

void ConversionRun::Abandon() noexcept {
    // A run cut short stays busy, so nothing new starts on a closing window.
    abandoned_ = abandoned_ || !running_.empty();
    for (auto& job : running_) {
        if (job->transcoder) job->transcoder->Terminate();
        job->transcoder.reset();
        if (!job->partial.empty()) platform_.DiscardOutput(job->partial);
        // No tick follows: nothing of the run acts on a closing window.
        delete job->timer;
    }
    running_.clear();
}

TAdvancedTimer* ConversionRun::CurrentTimer() const noexcept {
    return running_.empty() ? nullptr : running_.back()->timer;
}

const std::string& ConversionRun::PartialPath() const noexcept {
    static const std::string none;
    return running_.empty() ? none : running_.back()->partial;
}

const std::string& ConversionRun::Arguments() const noexcept {
    static const std::string none;
    return running_.empty() ? none : running_.back()->args;
}

void ConversionRun::Convert() {
    only_.reset();
    if (Busy()) return;
    // With every row of a run removed, the run still ends: its names are freed
    // and the user is told.
    if (jobs_.Count() == 0 && !runActive_) return;
    StartWhatFits();
}

void ConversionRun::ConvertRows(const std::vector<std::int64_t>& ids) {
    if (Busy() || runActive_) return;
    only_ = ids;
    StartWhatFits();
    if (!runActive_) only_.reset();  // none of them was left to do
}

const kv::Job* ConversionRun::NextPending() const {
    if (!only_) return jobs_.FirstPending();
    for (int i = 0; i < jobs_.Count(); ++i) {
        const kv::Job& row = jobs_.At(i);
        if (row.state == JobState::Pending && std::find(only_->begin(), only_->end(), row.id) != only_->end())
            return &row;
    }
    return nullptr;
}

std::uint64_t ConversionRun::PendingInRun() const {
    if (!only_) return static_cast<std::uint64_t>(jobs_.CountIn(JobState::Pending));
    std::uint64_t n = 0;
    for (const std::int64_t id : *only_)
        if (const kv::Job* row = jobs_.Find(id); row && row->state == JobState::Pending) ++n;
    return n;
}

// Starts pending rows in list order until as many run as the user chose; a
// row that cannot even start fails at once and the next one is tried. The
// first error raised on the way is raised again once the run has done what it can.
void ConversionRun::StartWhatFits() {
    bool started = false;
    std::exception_ptr error;
    for (;;) {
        const auto limit = static_cast<std::size_t>(std::max(1, owner_.Choices().filesAtOnce));
        if (running_.size() >= limit) break;
        Started s = Started::None;
        try {
            s = StartNextJob();
        } catch (...) {
            if (!error) error = std::current_exception();
            s = Started::Ended;
        }
        if (s == Started::None) break;
        started = started || s == Started::Running;
    }
    if (!started && !running_.empty()) ReportProgress();
    EndRunIfDone();
    if (error) std::rethrow_exception(error);
}

// The run ends once nothing runs and nothing is left to start.
void ConversionRun::EndRunIfDone() {
    if (!running_.empty() || !runActive_) return;
    runActive_ = false;
    runOutputs_.clear();
    runFiles_.clear();
    only_.reset();
    platform_.ShowProgress({});
    owner_.RunFinished();
}

bool ConversionRun::TakenInRun(const std::string& path) const {
    if (std::any_of(runOutputs_.begin(), runOutputs_.end(),
                    [&](const std::string& taken) { return platform_.SameName(taken, path); }))
        return true;
    return WrittenInRun(platform_.IdentityOf(path));
}

bool ConversionRun::WrittenInRun(const std::optional<FileId>& id) const {
    return id && std::find(runFiles_.begin(), runFiles_.end(), *id) != runFiles_.end();
}

// A job for a pending row, its output named as the choices say: two rows of
// one run never write one file, whatever the names' case or form, and with
// "keep both" no file from before the run is overwritten either.
std::unique_ptr<ConversionRun::Job> ConversionRun::NewJob(const kv::Job& row, const ConversionChoices& choices) {
    auto job = std::make_unique<Job>();
    job->id = row.id;
    job->input = row.input.Text();
    job->duration = row.duration;
    job->quality = choices.quality;
    job->whenExists = choices.whenExists;
    const bool keepBoth = choices.whenExists == WhenMp3Exists::KeepBoth;
    job->named = OutputPathFor(owner_.WorkDir(), job->input);
    job->output = FreeOutputPath(job->named, [&](const std::string& path) {
        return TakenInRun(path) || (keepBoth && platform_.FileExists(path));
    });
    job->expectedSize = ExpectedSizeFor(job->duration, job->quality);
    return job;
}

// Starts the first pending row: None when there is none; Ended when it ended
// at once (skipped, or its transcoder could not be started: it reads "Failed").
// A row whose start raises an error ends Failed, so that no later start finds
// it again, and the error goes on.
ConversionRun::Started ConversionRun::StartNextJob() {
    const kv::Job* next = NextPending();
    if (!next) return Started::None;
    if (!runActive_) {
        runActive_ = true;
        runOutputs_.clear();
        finishedInRun_ = 0;
        failedInRun_ = false;
    }
    const std::int64_t id = next->id;
    try {
        return StartRow(*next);
    } catch (...) {
        const kv::Job* row = jobs_.Find(id);
        const bool running = std::any_of(running_.begin(), running_.end(), [&](const auto& j) { return j->id == id; });
        if (row && !running && (row->state == JobState::Pending || row->state == JobState::Running)) {
            jobs_.Finish(id, Failure::Unknown);
            ++finishedInRun_;
            failedInRun_ = true;
        }
        throw;
    }
}

ConversionRun::Started ConversionRun::StartRow(const kv::Job& row) {
    // The choices as they are now: a change during the run applies from here.
    const ConversionChoices choices = owner_.Choices();
    std::unique_ptr<Job> job = NewJob(row, choices);
    // A skipped row still holds its name: a later row of the same name gets another.
    runOutputs_.push_back(job->output);
    if (choices.whenExists == WhenMp3Exists::Skip && platform_.FileExists(job->output)) {
        jobs_.SetState(job->id, JobState::Skipped);
        ++finishedInRun_;
        return Started::Ended;
    }
    // The input itself, reached by its MP3's name: converting would replace the user's file.
    const std::optional<FileId> input = platform_.IdentityOf(job->input);
    if (input && input == platform_.IdentityOf(job->output)) {
        jobs_.Start(job->id, job->output);
        jobs_.Finish(job->id, Failure::InputIsOutput);
        failedInRun_ = true;
        ++finishedInRun_;
        return Started::Ended;
    }
    job->partial = platform_.PartialOutputPath(job->output, job->id);
    try {
        // A line that cannot carry the paths is never started.
        const std::optional<std::string> args = FfmpegArgsFor(row.input, job->partial, job->quality);
        job->args = args.value_or("");
        jobs_.Start(job->id, job->output);
        if (!args || !StartTranscoder(*job)) {
            jobs_.Finish(job->id, Failure::NotStarted);
            ++finishedInRun_;
            failedInRun_ = true;
            return Started::Ended;
        }
        Follow(*job);
    } catch (...) {
        // A job nobody can follow must not leave its transcoder or its file behind.
        if (job->transcoder) job->transcoder->Terminate();
        platform_.DiscardOutput(job->partial);
        throw;
    }
    running_.push_back(std::move(job));
    ReportProgress();
    return Started::Running;
}

// The job's timer, which watches its output; its payload mirrors the job's files.
void ConversionRun::Follow(Job& job) {
    auto timer = std::make_unique<TAdvancedTimer>(timerOwner_, platform_.NewTimerPort());
    timer->SetBuddy(job.partial);
    timer->SetMessage(std::to_string(job.expectedSize));
    timer->SetInterval(kTickMs);
    timer->SetEnabled(true);
    timer->OnTimer = [this](TAdvancedTimer* sender) { MyTimerEventHandlerConversion(sender); };
    job.timer = timer.release();
}

bool ConversionRun::StartTranscoder(Job& job) {
    job.transcoder.reset();
    job.grownTo = -1;
    job.grownAtMs = platform_.NowMs();
    job.transcoder = platform_.StartTranscoder(owner_.FfmpegPath(), job.args, job.id);
    return job.transcoder != nullptr;
}

ConversionRun::Job* ConversionRun::Find(const TAdvancedTimer* timer) const {
    for (const auto& job : running_)
        if (job->timer == timer) return job.get();
    return nullptr;
}

void ConversionRun::MyTimerEventHandlerConversion(TAdvancedTimer* sender) {
    Job* job = Find(sender);
    if (!job) return;  // a tick of a job that has ended
    const std::int64_t id = job->id;
    try {
        Tick(*job);
    } catch (...) {
        // The job whose tick failed ends, unless it ended on the way; the
        // error still reaches the user when ending it fails too.
        const auto it = std::find_if(running_.begin(), running_.end(), [&](const auto& j) { return j->id == id; });
        if (it != running_.end()) {
            if ((*it)->transcoder) (*it)->transcoder->Terminate();
            GuardedStep([&] { FinishJob(**it, Failure::Unknown); });
        }
        throw;
    }
}

// The job's own files are watched: its timer's payload only mirrors them.
void ConversionRun::Tick(Job& tickJob) {
    Job* job = &tickJob;
    // The run follows its own row, wherever rows removed above it have moved it.
    if (jobs_.IndexOf(job->id) < 0) {
        // The running row was removed: its transcoder goes with it.
        if (job->transcoder) job->transcoder->Terminate();
        FinishJob(*job, Failure::Unknown);
        return;
    }
    const bool exited = !job->transcoder || job->transcoder->Exited();

    const OutputSize size = platform_.MeasureOutput(job->partial);
    if (!size.readable) {
        // Held open by another program for a moment: only the stall rule ends the job.
        if (StalledNow(*job)) {
            if (job->transcoder && !exited) job->transcoder->Terminate();
            FinishJob(*job, exited ? Failure::OutputLocked : Failure::Stalled);
        }
        return;
    }
    if (size.exists) ShowPercent(*job, size);
    if (exited) {
        Finished(*job, job->transcoder ? job->transcoder->ExitCode() : 1, size);
        return;
    }
    // A transcoder that stops writing and never ends would keep the window busy
    // for good: one whose output has not grown for a minute is ended.
    const std::int64_t now = size.exists ? size.bytes : -1;
    if (now > job->grownTo) {
        job->grownTo = now;
        job->grownAtMs = platform_.NowMs();
    } else if (StalledNow(*job)) {
        if (job->transcoder) job->transcoder->Terminate();
        FinishJob(*job, Failure::Stalled);
    }
}

// At 128 kbit/s the size against the size the duration predicts. At another quality the MP3's size says less: the time
// the transcoder reports having reached, or else the size against the quality's nominal rate, and never 100 before the
// row is done.
void ConversionRun::ShowPercent(Job& job, const OutputSize& size) {
    std::int64_t percent = PercentOf(size.bytes, job.expectedSize);
    if (job.quality != Mp3Quality::Kbps128) {
        const std::optional<double> reached = job.transcoder ? job.transcoder->ReachedSoFar() : std::nullopt;
        const double input = static_cast<double>(std::max<std::int64_t>(job.duration - 1, 1));
        // The stored duration is 1 when the input's length is unknown: the size tells more then.
        if (reached && job.duration > 1) percent = static_cast<std::int64_t>(*reached * 100.0 / input);
        // Rising only: the two estimates may disagree from one tick to the next.
        percent = std::clamp<std::int64_t>(std::max(percent, job.percent), 0, 99);
    }
    job.percent = percent;
    jobs_.SetPercent(job.id, percent);
    ReportProgress();
}

bool ConversionRun::StalledNow(const Job& job) const { return platform_.NowMs() - job.grownAtMs >= StallMs; }

// The transcoder has ended: judge its output once, then give a whole MP3 its
// name, on later ticks too while another program holds one of the files.
void ConversionRun::Finished(Job& job, std::uint32_t code, const OutputSize& size) {
    if (!job.verdict) {
        // Now and then a transcoder fails before it has written a byte, and the
        // same file converts on a second start; a file that cannot be converted
        // fails twice, at the cost of one more short run.
        if (code != 0 && (!size.exists || size.bytes == 0) && job.secondStartLeft && job.transcoder) {
            job.secondStartLeft = false;
            if (StartTranscoder(job)) return;
        }
        job.verdict = Verdict(job, code, size);
    }
    if (*job.verdict != Failure::None) {
        FinishJob(job, *job.verdict);
        return;
    }
    CommitJob(job);
}

// Gives the MP3 its name. Only "replace" replaces, and never a file of this
// run nor the input: a file that took the name meanwhile (copied in, restored
// by a sync client) stays, and the MP3 takes the next free name, or under
// "skip" the row is skipped.
void ConversionRun::CommitJob(Job& job) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::optional<FileId> there = platform_.IdentityOf(job.output);
        const bool mayReplace = job.whenExists == WhenMp3Exists::Replace && !WrittenInRun(there) &&
                                !(there && there == platform_.IdentityOf(job.input));
        switch (platform_.CommitOutput(job.partial, job.output, mayReplace)) {
        case Commit::Done:
            job.partial.clear();
            if (const std::optional<FileId> id = platform_.IdentityOf(job.output)) runFiles_.push_back(*id);
            FinishJob(job, Failure::None);
            return;
        case Commit::Taken:
            if (job.whenExists == WhenMp3Exists::Skip) {
                job.skipped = true;
                FinishJob(job, Failure::None);
                return;
            }
            job.output = FreeOutputPath(
                job.named, [&](const std::string& path) { return TakenInRun(path) || platform_.FileExists(path); });
            runOutputs_.push_back(job.output);
            jobs_.Start(job.id, job.output);
            continue;
        case Commit::Held:
            if (StalledNow(job)) FinishJob(job, Failure::OutputLocked);
            return;
        case Commit::Failed:
            FinishJob(job, Failure::OutputFolder);
            return;
        }
    }
    FinishJob(job, Failure::OutputFolder);
}

// Whether the MP3 holds the whole sound. A report without complaint means it
// does: a container can last longer than its sound (a video with a short audio
// track), so its duration alone cannot tell. A complaint means it does only when
// the output still reaches the input's end (the longer of the transcoder's and
// the reader's lengths): a few damaged packets cost milliseconds, a cut file
// everything after the cut. Without a report the size
// against the stored duration decides, where the rate is fixed.
Failure ConversionRun::Verdict(const Job& job, std::uint32_t code, const OutputSize& size) {
    const std::optional<std::string> log = job.transcoder ? job.transcoder->ErrorOutput() : std::nullopt;
    if (code == 0 && size.exists && size.bytes > 0) {
        // Without its report nothing tells a whole MP3 from one ended halfway.
        if (!log) return Failure::Unknown;
        if (!SummaryWritten(*log)) return Failure::Ended;
        if (!DamageReported(*log)) return Failure::None;
        // The stored duration is whole seconds plus one: the input lasts at least one second less.
        // Of a cut file some demuxers guess the length from its size; the reader took it from the header.
        const double input = std::max(InputSeconds(*log).value_or(0.0), static_cast<double>(job.duration - 1));
        const double reached =
            ReachedSeconds(*log).value_or(static_cast<double>(size.bytes) / NominalBytesPerSecond(job.quality));
        return CoversInput(reached, input) ? Failure::None : Failure::Damaged;
    }
    if (code == 0) return Failure::Unknown;  // ended well, yet no MP3
    return ClassifyFailure(code, log.value_or(""), job.input, job.partial);
}

void ConversionRun::ChoicesChanged() {
    if (!running_.empty()) StartWhatFits();
}

void ConversionRun::OnJobExited(std::int64_t jobId) {
    // A late notice from a job that has already finished is ignored.
    for (const auto& job : running_)
        if (job->id == jobId && job->timer) return MyTimerEventHandlerConversion(job->timer);
}

// Ends a job: its row reads "Done" with "MP3", or "Failed" and what it wrote
// goes; then the next pending rows start and this job's timer goes.
void ConversionRun::FinishJob(Job& job, Failure failure) {
    if (!job.partial.empty()) platform_.DiscardOutput(job.partial);
    job.partial.clear();
    if (job.skipped ? jobs_.SetState(job.id, JobState::Skipped) : jobs_.Finish(job.id, failure)) {
        ++finishedInRun_;
        if (failure != Failure::None) failedInRun_ = true;
    }
    job.transcoder.reset();
    const auto it = std::find_if(running_.begin(), running_.end(), [&](const auto& j) { return j.get() == &job; });
    const std::unique_ptr<Job> done = std::move(*it);
    running_.erase(it);
    // The timer goes even when starting the next job throws.
    const std::unique_ptr<TAdvancedTimer> timer(std::exchange(done->timer, nullptr));
    StartWhatFits();
}

// The rows of the run are those it finished and those still to do, the
// running ones included; rows removed on the way leave it.
void ConversionRun::ReportProgress() {
    std::uint64_t runningPercent = 0;
    for (const auto& job : running_)
        runningPercent += static_cast<std::uint64_t>(std::clamp<std::int64_t>(job->percent, 0, 100));
    const std::uint64_t pending = PendingInRun();
    const std::uint64_t rows = static_cast<std::uint64_t>(finishedInRun_) + pending + running_.size();
    platform_.ShowProgress({failedInRun_ ? RunProgress::State::Error : RunProgress::State::Normal,
                            static_cast<std::uint64_t>(finishedInRun_) * 100 + runningPercent, rows * 100});
}

}  // namespace kv
