// The conversion run's outputs: how a job's MP3s are named, planned from what
// the file holds, measured, judged and given their names.
#include <algorithm>

#include "convert/conversion_job.h"
#include "convert/job_rules.h"

namespace kv {

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
    auto job = std::make_unique<Job>(row.input);
    job->id = row.id;
    job->duration = row.duration;
    job->choices = choices;
    const bool keepBoth = choices.whenExists == WhenMp3Exists::KeepBoth;
    JobOutput out;
    out.named =
        OutputPathFor(OutputFolderFor(owner_.WorkDir(), row.subfolder, job->Input(), choices.beside), job->Input());
    out.path = FreeOutputPath(out.named, [&](const std::string& path) {
        return TakenInRun(path) || (keepBoth && platform_.FileExists(path));
    });
    job->outs.push_back(std::move(out));
    job->expectedSize = ExpectedSizeFor(job->duration, choices.quality);
    return job;
}

// The file's report is in: the job converts as its plan says, or as a plain
// line when the report says nothing that applies.
// A file with sound whose loudness was to be measured, and was not, is not converted.
void ConversionRun::ReportRead(Job& job) {
    const std::string log = job.transcoder ? job.transcoder->ErrorOutput().value_or("") : std::string();
    const MediaReport report = ReadMediaReport(log);
    SoundPlan sound;
    if (job.choices.loudness != Loudness::Off && report.audioStream) {
        const std::optional<LoudnessMeasure> measured = ReadLoudness(log);
        if (!measured) {
            FinishJob(job, Failure::NotMeasured);
            return;
        }
        sound = job.choices.loudness == Loudness::R128
                    ? R128Plan(*measured, job.choices.loudnessTarget, EncoderLevelLoss(job.choices.quality))
                    : ReplayGainPlan(*measured);
    }
    job.plan = PlanFor(report, job.choices.splitChapters, job.choices.coverFromVideo, sound);
    job.reading = false;
    if (job.choices.loudness != Loudness::Off) jobs_.SetPercent(job.id, 0);
    if (!job.plan.pieces.empty()) NamePieces(job);
    // Every chapter's MP3 is there already and the user chose to skip them: nothing is converted.
    if (std::all_of(job.outs.begin(), job.outs.end(), [](const JobOutput& o) { return o.skipped; })) {
        FinishJob(job, Failure::None);
        return;
    }
    if (!StartPlanned(job)) FinishJob(job, Failure::NotStarted);
}

// One name per chapter, in place of the file's one name; under "skip" each
// is skipped when every one is there already.
void ConversionRun::NamePieces(Job& job) {
    const std::string named = job.First().named;
    const std::string whole = job.First().path;
    std::erase_if(runOutputs_, [&](const std::string& taken) { return taken == whole; });
    job.outs.clear();
    const WhenMp3Exists when = job.choices.whenExists;
    const int count = static_cast<int>(job.plan.pieces.size());
    bool allThere = true;
    for (const Piece& piece : job.plan.pieces) {
        JobOutput out;
        out.named = PieceOutputPath(named, piece, count);
        out.path = FreeOutputPath(out.named, [&](const std::string& path) {
            return TakenInRun(path) || (when == WhenMp3Exists::KeepBoth && platform_.FileExists(path));
        });
        allThere = allThere && platform_.FileExists(out.path);
        runOutputs_.push_back(out.path);
        out.partial = platform_.PartialOutputPath(out.path, job.id);
        job.outs.push_back(std::move(out));
    }
    if (when == WhenMp3Exists::Skip && allThere)
        for (JobOutput& out : job.outs) out.skipped = true;
    jobs_.Start(job.id, job.First().path);
    if (job.timer) job.timer->SetBuddy(job.First().partial);
}

bool ConversionRun::StartPlanned(Job& job) {
    std::vector<std::string> partials;
    for (const JobOutput& out : job.outs) partials.push_back(out.partial);
    const std::optional<std::string> args = PlannedArgsFor(job.source, partials, job.choices.quality, job.plan);
    job.args = args.value_or("");
    return args && StartTranscoder(job);
}

bool ConversionRun::StartWithoutCover(Job& job) {
    job.plan.coverAt.reset();
    if (job.plan.Plain()) job.plan.audioStream.reset();
    DiscardOutputs(job);
    for (JobOutput& out : job.outs) out.partial = platform_.PartialOutputPath(out.path, job.id);
    return StartPlanned(job);
}

// The MP3 of a file taken through the limiter is measured as written: one
// MP3 only, as a split file's chapters keep the gain of the whole.
bool ConversionRun::StartCheck(Job& job) {
    if (job.outs.size() != 1) return false;
    const std::optional<std::string> args = CheckArgsFor(job.First().partial);
    if (!args) return false;
    job.checked = true;
    job.readTo = -1;
    job.args = *args;
    if (!StartTranscoder(job)) return false;
    job.checking = true;
    jobs_.SetMeasuring(job.id);
    return true;
}

// The MP3 missed its aim or the ceiling: it is converted once more with the
// plan corrected by what was measured; otherwise it takes its name. A check
// that measured nothing leaves the MP3 as it was judged.
void ConversionRun::CheckRead(Job& job) {
    job.checking = false;
    const std::string log = job.transcoder ? job.transcoder->ErrorOutput().value_or("") : std::string();
    const std::optional<LoudnessMeasure> written = ReadLoudness(log);
    const std::optional<SoundPlan> next = written ? Corrected(job.plan.sound, *written) : std::nullopt;
    if (!next) {
        jobs_.SetPercent(job.id, job.percent);
        CommitJob(job);
        return;
    }
    job.plan.sound = *next;
    job.verdict.reset();
    job.percent = 0;
    jobs_.SetPercent(job.id, 0);
    DiscardOutputs(job);
    for (JobOutput& out : job.outs) out.partial = platform_.PartialOutputPath(out.path, job.id);
    if (!StartPlanned(job)) FinishJob(job, Failure::NotStarted);
}

// The job's outputs together: their sizes add up, and one held open holds them all.
OutputSize ConversionRun::Measure(const Job& job) {
    OutputSize all{false, true, 0};
    for (const JobOutput& out : job.outs) {
        if (out.partial.empty()) continue;
        const OutputSize one = platform_.MeasureOutput(out.partial);
        all.exists = all.exists || one.exists;
        all.readable = all.readable && one.readable;
        all.bytes += one.exists ? one.bytes : 0;
    }
    return all;
}

void ConversionRun::DiscardOutputs(Job& job) noexcept {
    for (JobOutput& out : job.outs) {
        if (!out.partial.empty()) platform_.DiscardOutput(out.partial);
        out.partial.clear();
    }
}

// Gives each MP3 its name, in order; one held open is tried again on a later
// tick, those already named stay named.
void ConversionRun::CommitJob(Job& job) {
    for (JobOutput& out : job.outs) {
        if (out.partial.empty()) continue;
        switch (CommitOne(job, out)) {
        case Committed::Done:
            continue;
        case Committed::Later:
            if (StalledNow(job)) FinishJob(job, Failure::OutputLocked);
            return;
        case Committed::Failed:
            FinishJob(job, Failure::OutputFolder);
            return;
        }
    }
    FinishJob(job, Failure::None);
}

// Only "replace" replaces, and never a file of this run nor the input: a file
// that took the name meanwhile (copied in, restored by a sync client) stays,
// and the MP3 takes the next free name, or under "skip" it is dropped.
ConversionRun::Committed ConversionRun::CommitOne(Job& job, JobOutput& out) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::optional<FileId> there = platform_.IdentityOf(out.path);
        const bool mayReplace = job.choices.whenExists == WhenMp3Exists::Replace && !WrittenInRun(there) &&
                                !(there && there == platform_.IdentityOf(job.Input()));
        switch (platform_.CommitOutput(out.partial, out.path, mayReplace)) {
        case Commit::Done:
            out.partial.clear();
            if (const std::optional<FileId> id = platform_.IdentityOf(out.path)) runFiles_.push_back(*id);
            if (job.choices.keepDates) platform_.CopyDates(job.Input(), out.path);
            return Committed::Done;
        case Commit::Taken:
            if (job.choices.whenExists == WhenMp3Exists::Skip) {
                out.skipped = true;
                platform_.DiscardOutput(out.partial);
                out.partial.clear();
                return Committed::Done;
            }
            out.path = FreeOutputPath(
                out.named, [&](const std::string& path) { return TakenInRun(path) || platform_.FileExists(path); });
            runOutputs_.push_back(out.path);
            if (&out == &job.First()) jobs_.Start(job.id, out.path);
            continue;
        case Commit::Held:
            return Committed::Later;
        case Commit::Failed:
            return Committed::Failed;
        }
    }
    return Committed::Failed;
}

// Whether the MP3 holds the whole sound. A report without complaint means it
// does: a container can last longer than its sound (a video with a short audio
// track), so its duration alone cannot tell. A complaint means it does only when
// the output still reaches the input's end (the longer of the transcoder's and
// the reader's lengths): a few damaged packets cost milliseconds, a cut file
// everything after the cut. Without a report the size against the stored
// duration decides, where the rate is fixed; so do chapters, whose times each
// start at nought.
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
        const double bySize = static_cast<double>(size.bytes) / NominalBytesPerSecond(job.choices.quality);
        const double reached = job.outs.size() > 1 ? bySize : ReachedSeconds(*log).value_or(bySize);
        return CoversInput(reached, input) ? Failure::None : Failure::Damaged;
    }
    if (code == 0) return Failure::Unknown;  // ended well, yet no MP3
    return ClassifyFailure(code, log.value_or(""), job.Input(), job.First().partial);
}

}  // namespace kv
