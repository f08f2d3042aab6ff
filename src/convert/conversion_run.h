#pragma once
// The conversion run: up to the chosen number of transcoders at once, rows
// started in list order, each followed by a timer that shows the MP3 file's
// growth against the size its duration predicts. Each transcoder writes under a
// temporary name; the MP3 gets its own name only once it is whole, so no
// half-written file ever looks finished. Plain logic: the job list, the
// processes, the file system and the timers are reached through the small
// interfaces below.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/checked_path.h"
#include "app/file_id.h"
#include "components/advantmr.h"
#include "convert/choices.h"
#include "convert/job_list.h"
#include "convert/transcoder_log.h"

namespace kv {

struct JobOutput;  // one MP3 a job writes

// A started transcoder. Its owner ends the watch on it when it lets it go.
class ITranscoder {
public:
    virtual ~ITranscoder() = default;
    [[nodiscard]] virtual bool Exited() = 0;
    [[nodiscard]] virtual std::uint32_t ExitCode() = 0;  // meaningful once Exited()
    // What it wrote to its error output, once Exited(); nothing when that was not captured.
    [[nodiscard]] virtual std::optional<std::string> ErrorOutput() = 0;
    // Ends it; on return it no longer holds its output open.
    virtual void Terminate() noexcept = 0;
    // How far into the input it reports having come while it runs, in seconds;
    // nothing when it has not said.
    [[nodiscard]] virtual std::optional<double> ReachedSoFar() { return std::nullopt; }
};

// The size of an output file as the run sees it.
struct OutputSize {
    bool exists = false;
    // It exists but cannot be opened now: another program (a sync client, a
    // virus scanner) holds it a moment. The next tick looks again.
    bool readable = true;
    std::int64_t bytes = 0;
};

// How giving the finished output its name went.
enum class Commit : std::uint8_t {
    Done,
    Taken,   // a file has that name, and it was not to be replaced
    Held,    // another program holds one of the two files: try again later
    Failed,  // the folder refuses it
};

// The run's progress as the taskbar button shows it: finished rows and the
// running row's percent, in hundredths of a row, over the rows of the run.
struct RunProgress {
    enum class State : std::uint8_t { None, Normal, Error };
    State state = State::None;  // None: no run, the button shows no progress
    std::uint64_t completed = 0;
    std::uint64_t total = 0;
    bool operator==(const RunProgress&) const = default;
};

// Processes, files, timers and signals, as the platform provides them.
class IRunPlatform {
public:
    virtual ~IRunPlatform() = default;
    // Starts the transcoder hidden; null when it could not be started. When it
    // ends, the platform calls ConversionRun::OnJobExited(jobId) on the run's thread.
    virtual std::unique_ptr<ITranscoder> StartTranscoder(const std::string& program, const std::string& args,
                                                         std::int64_t jobId) = 0;
    virtual OutputSize MeasureOutput(const std::string& path) = 0;
    // Where the transcoder writes a job's MP3 until it is whole: beside the
    // final file, under a name no file there has and no MP3 has.
    virtual std::string PartialOutputPath(const std::string& finalPath, std::int64_t jobId) = 0;
    // Gives the whole output, flushed to the disk, its final name in one step;
    // a file of that name (an older MP3) is replaced only with `replace`, and
    // only now.
    virtual Commit CommitOutput(const std::string& partialPath, const std::string& finalPath, bool replace) = 0;
    virtual void DiscardOutput(const std::string& partialPath) noexcept = 0;
    virtual std::unique_ptr<TimerPort> NewTimerPort() = 0;
    // The run's progress changed (shown on the taskbar button).
    virtual void ShowProgress(const RunProgress& progress) = 0;
    // Milliseconds the PC was awake: it only goes forward, and sleep is no stall.
    [[nodiscard]] virtual std::uint64_t NowMs() const = 0;
    // Whether a file of this name exists (an MP3 from before the run).
    [[nodiscard]] virtual bool FileExists(const std::string&) const { return false; }
    // The file a name reaches; nothing when there is none (or it cannot be asked).
    [[nodiscard]] virtual std::optional<FileId> IdentityOf(const std::string&) const { return std::nullopt; }
    // Whether the file system takes two paths for one name (case-blind, by its own table).
    [[nodiscard]] virtual bool SameName(const std::string& a, const std::string& b) const;
    // Makes a folder and the missing ones above it; false when it cannot.
    virtual bool MakeFolder(const std::string&) { return true; }
    // Gives `to` the created and modified times of `from`; where they cannot be set, it keeps its own.
    virtual void CopyDates(const std::string& /*from*/, const std::string& /*to*/) {}
};

// How the rows of a run ended.
struct RunCounts {
    int done = 0;
    int skipped = 0;
    int failed = 0;
    bool operator==(const RunCounts&) const = default;
};

// The notification of a run that has ended behind other windows.
inline constexpr std::string_view kRunEndedTitle = "Korvello has finished converting";
// "Done: 3, Skipped: 1, Failed: 0.", and where to look when a row failed.
std::string RunEndedText(const RunCounts& counts);

// What the run asks of its owner: what each job takes as it starts, as it
// is then (where the MP3s go, the transcoder, the user's choices), and the
// word that the run has ended.
class IRunOwner {
public:
    virtual ~IRunOwner() = default;
    [[nodiscard]] virtual std::string WorkDir() const = 0;
    [[nodiscard]] virtual std::string FfmpegPath() const = 0;
    [[nodiscard]] virtual ConversionChoices Choices() const { return {}; }
    // Every row of the run is done, failed or skipped: tell the user.
    virtual void RunFinished(const RunCounts& counts) = 0;
};

class ConversionRun {
public:
    static constexpr std::uint32_t kTickMs = 500;
    // A running transcoder whose MP3 has not grown for this long has hung: it is ended.
    static constexpr std::uint64_t kStallMs = 60000;

    // `timerOwner` owns each job's timer; the run deletes it when the job ends.
    ConversionRun(JobList& jobs, IRunPlatform& platform, IRunOwner& owner, TComponent* timerOwner);
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // The convert command: starts pending rows unless the run goes on already;
    // a run of some rows only takes every pending row from now on.
    void Convert();
    // A run of these rows alone (the files of one "/convert" request), unless a run goes on.
    void ConvertRows(const std::vector<std::int64_t>& ids);
    // One tick of a running job's timer: the job's timer ticks here. An error
    // raised on the way ends that job and leaves the tick, after the run has
    // started what it can, so that the user hears of it and the run goes on.
    void MyTimerEventHandlerConversion(TAdvancedTimer* sender);
    // The user changed a choice: a run that may now take more files at once starts them.
    void ChoicesChanged();
    // The transcoder of the job with this id has ended.
    void OnJobExited(std::int64_t jobId);
    // Ends every running transcoder and deletes what it wrote, and the run with
    // it: the window is closing, and a half-written MP3 must not stay behind.
    void Abandon() noexcept;

    // A job runs: the add commands and the output folder wait for its end.
    [[nodiscard]] bool Busy() const noexcept { return abandoned_ || !running_.empty(); }
    // The timer of the job last started; null when none runs.
    [[nodiscard]] TAdvancedTimer* CurrentTimer() const noexcept;
    // Where the job last started writes its output until it is whole; empty when none runs.
    [[nodiscard]] const std::string& PartialPath() const noexcept;
    // The transcoder's argument line of the job last started; empty when none runs.
    [[nodiscard]] const std::string& Arguments() const noexcept;
    [[nodiscard]] std::size_t RunningCount() const noexcept { return running_.size(); }

    std::uint64_t StallMs = kStallMs;

private:
    struct Job;  // a running job: its transcoder, timer, files and watch

    void Tick(Job& job);
    void StartWhatFits();
    enum class Started : std::uint8_t { None, Running, Ended };
    Started StartNextJob();
    Started StartRow(const kv::Job& row);
    std::unique_ptr<Job> NewJob(const kv::Job& row, const ConversionChoices& choices);
    void Follow(Job& job);
    bool StartTranscoder(Job& job);
    void FinishJob(Job& job, Failure failure);
    void Finished(Job& job, std::uint32_t code, const OutputSize& size);
    void ReportRead(Job& job);
    void ReadingTick(Job& job, bool exited);
    [[nodiscard]] bool StartCheck(Job& job);
    void CheckRead(Job& job);
    void NamePieces(Job& job);
    [[nodiscard]] bool StartPlanned(Job& job);
    [[nodiscard]] bool StartWithoutCover(Job& job);
    [[nodiscard]] OutputSize Measure(const Job& job);
    void DiscardOutputs(Job& job) noexcept;
    void CommitJob(Job& job);
    enum class Committed : std::uint8_t { Done, Later, Failed };
    Committed CommitOne(Job& job, JobOutput& out);
    [[nodiscard]] bool TakenInRun(const std::string& path) const;
    [[nodiscard]] bool WrittenInRun(const std::optional<FileId>& id) const;
    Failure Verdict(const Job& job, std::uint32_t code, const OutputSize& size);
    void ShowPercent(Job& job, const OutputSize& size);
    [[nodiscard]] bool StalledNow(const Job& job) const;
    Job* Find(const TAdvancedTimer* timer) const;
    void ReportProgress();
    [[nodiscard]] const kv::Job* NextPending() const;
    [[nodiscard]] std::uint64_t PendingInRun() const;
    void EndRunIfDone();
    void EndRow(std::int64_t id, Failure failure, bool skipped = false);

    JobList& jobs_;
    IRunPlatform& platform_;
    IRunOwner& owner_;
    TComponent* timerOwner_;
    std::vector<std::unique_ptr<Job>> running_;      // in the order they started
    std::vector<std::string> runOutputs_;            // the names this run's rows took
    std::vector<FileId> runFiles_;                   // the files this run wrote
    std::optional<std::vector<std::int64_t>> only_;  // the rows the run takes; every pending one when unset
    bool runActive_ = false;
    bool abandoned_ = false;  // cut short by a closing window: nothing starts again
    int finishedInRun_ = 0;   // rows of this run done, failed or skipped
    bool failedInRun_ = false;
    RunCounts counts_;
};

}  // namespace kv
