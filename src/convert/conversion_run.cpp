#include "convert/conversion_run.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <utility>

#include "app/texts.h"
#include "app/runner_text.h"
#include "convert/conversion_job.h"
#include "convert/job_rules.h"
#include "convert/loudness.h"
#include "win/error.h"
#include "win/utf8.h"

namespace kv {

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
        DiscardOutputs(*job);
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
    return running_.empty() ? none : running_.back()->First().partial;
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
    owner_.RunFinished(counts_);
}

std::string RunEndedText(const RunCounts& c) {
    std::string text =
        Tr(TextId::RunEndedCounts, {std::to_string(c.done), std::to_string(c.skipped), std::to_string(c.failed)});
    if (c.failed > 0) text.append(" ").append(Tr(TextId::RunEndedFailed));
    return text;
}

// A row of the run has ended: it reads Done, Skipped or Failed, and the run counts it.
void ConversionRun::EndRow(std::int64_t id, Failure failure, bool skipped) {
    if (!(skipped ? jobs_.SetState(id, JobState::Skipped) : jobs_.Finish(id, failure))) return;
    ++finishedInRun_;
    if (skipped) {
        ++counts_.skipped;
    } else if (failure == Failure::None) {
        ++counts_.done;
    } else {
        ++counts_.failed;
        failedInRun_ = true;
    }
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
        counts_ = {};
    }
    const std::int64_t id = next->id;
    try {
        return StartRow(*next);
    } catch (...) {
        const kv::Job* row = jobs_.Find(id);
        const bool running = std::any_of(running_.begin(), running_.end(), [&](const auto& j) { return j->id == id; });
        if (row && !running && (row->state == JobState::Pending || row->state == JobState::Running))
            EndRow(id, Failure::Unknown);
        throw;
    }
}

ConversionRun::Started ConversionRun::StartRow(const kv::Job& row) {
    // The choices as they are now: a change during the run applies from here.
    std::unique_ptr<Job> job = NewJob(row, owner_.Choices());
    JobOutput& out = job->First();
    // A skipped row still holds its name: a later row of the same name gets another.
    runOutputs_.push_back(out.path);
    if (job->choices.whenExists == WhenMp3Exists::Skip && platform_.FileExists(out.path)) {
        EndRow(job->id, Failure::None, true);
        return Started::Ended;
    }
    // The input itself, reached by its MP3's name: converting would replace the user's file.
    const std::optional<FileId> input = platform_.IdentityOf(job->Input());
    if (input && input == platform_.IdentityOf(out.path)) {
        jobs_.Start(job->id, out.path);
        EndRow(job->id, Failure::InputIsOutput);
        return Started::Ended;
    }
    // A place in a tree below the output folder is made as needed.
    if (!row.subfolder.empty() && !job->choices.beside && !platform_.MakeFolder(FolderPart(out.path))) {
        jobs_.Start(job->id, out.path);
        EndRow(job->id, Failure::OutputFolder);
        return Started::Ended;
    }
    out.partial = platform_.PartialOutputPath(out.path, job->id);
    try {
        // With a choice that depends on what the file holds, the transcoder first reports it;
        // with even loudness it measures the sound on the way.
        const bool measure = job->choices.loudness != Loudness::Off;
        job->reading = job->choices.splitChapters || job->choices.coverFromVideo || measure;
        // A line that cannot carry the paths is never started.
        const std::optional<std::string> args = measure ? MeasureArgsFor(row.input)
                                                : job->reading
                                                    ? ReportArgsFor(row.input)
                                                    : FfmpegArgsFor(row.input, out.partial, job->choices.quality);
        job->args = args.value_or("");
        jobs_.Start(job->id, out.path);
        if (measure) jobs_.SetMeasuring(job->id);
        if (!args || !StartTranscoder(*job)) {
            EndRow(job->id, Failure::NotStarted);
            return Started::Ended;
        }
        Follow(*job);
    } catch (...) {
        // A job nobody can follow must not leave its transcoder or its file behind.
        if (job->transcoder) job->transcoder->Terminate();
        DiscardOutputs(*job);
        throw;
    }
    running_.push_back(std::move(job));
    ReportProgress();
    return Started::Running;
}

// The job's timer, which watches its output; its payload mirrors the job's files.
void ConversionRun::Follow(Job& job) {
    auto timer = std::make_unique<TAdvancedTimer>(timerOwner_, platform_.NewTimerPort());
    timer->SetBuddy(job.First().partial);
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
    if (job->reading || job->checking) {
        ReadingTick(*job, exited);
        return;
    }
    const OutputSize size = Measure(*job);
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

// A transcoder that only reads writes no MP3: it has hung when it stops
// saying how far it has come.
void ConversionRun::ReadingTick(Job& job, bool exited) {
    if (exited) {
        if (job.reading)
            ReportRead(job);
        else
            CheckRead(job);
        return;
    }
    if (const std::optional<double> reached = job.transcoder->ReachedSoFar(); reached && *reached > job.readTo) {
        job.readTo = *reached;
        job.grownAtMs = platform_.NowMs();
    } else if (StalledNow(job)) {
        job.transcoder->Terminate();
        FinishJob(job, Failure::Stalled);
    }
}

// At 128 kbit/s the size against the size the duration predicts. At another quality the MP3's size says less: the time
// the transcoder reports having reached, or else the size against the quality's nominal rate, and never 100 before the
// row is done.
void ConversionRun::ShowPercent(Job& job, const OutputSize& size) {
    std::int64_t percent = PercentOf(size.bytes, job.expectedSize);
    if (job.choices.quality != Mp3Quality::Kbps128) {
        const std::optional<double> reached = job.transcoder ? job.transcoder->ReachedSoFar() : std::nullopt;
        const double input = static_cast<double>(std::max<std::int64_t>(job.duration - 1, 1));
        // The stored duration is 1 when the input's length is unknown: the size tells more then, and of
        // chapters, whose times each start at nought.
        if (reached && job.duration > 1 && job.outs.size() == 1)
            percent = static_cast<std::int64_t>(*reached * 100.0 / input);
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
        // A frame that cannot be made into a cover costs the cover, not the sound.
        if (code != 0 && job.plan.coverAt && StartWithoutCover(job)) return;
        job.verdict = Verdict(job, code, size);
        // What the limiter did is known only from the MP3 as written.
        if (*job.verdict == Failure::None && job.plan.sound.limitDb && !job.checked && StartCheck(job)) return;
    }
    if (*job.verdict != Failure::None) {
        FinishJob(job, *job.verdict);
        return;
    }
    CommitJob(job);
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
    DiscardOutputs(job);
    if (failure == Failure::OutputFolder && job.choices.beside) failure = Failure::SourceFolder;
    const bool skipped = failure == Failure::None &&
                         std::all_of(job.outs.begin(), job.outs.end(), [](const JobOutput& o) { return o.skipped; });
    EndRow(job.id, failure, skipped);
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
