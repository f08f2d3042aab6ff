#pragma once
// The conversion run: one transcoder at a time, in list order, each followed by
// a timer that shows the MP3 file's growth against the size its duration
// predicts. The transcoder writes under a temporary name; the MP3 gets its own
// name only once it is whole, so no half-written file ever looks finished. Plain logic: the job list, the processes,
// the file system and the timers are reached through the small interfaces below.
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/checked_path.h"
#include "components/advantmr.h"
#include "convert/job_list.h"
#include "convert/transcoder_log.h"

namespace kv {

// The main window's state that the run sets and the other commands read.
struct RunState {
    bool Busy = false;
    double OutputRateKB = 0.0;
    std::int64_t ExpectedSize = 0;
    int CurrentJob = 0;
    std::int64_t LastSize = 0;
    std::string OutputPath, InputPath, FfmpegArgs;
};

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
    // Gives the whole output its final name in one step, replacing a file of
    // that name (an older MP3) only now.
    virtual Commit CommitOutput(const std::string& partialPath, const std::string& finalPath) = 0;
    virtual void DiscardOutput(const std::string& partialPath) noexcept = 0;
    virtual std::unique_ptr<TimerPort> NewTimerPort() = 0;
    // The run has ended (every pending row done or failed): tell the user.
    virtual void RunFinished() = 0;
    [[nodiscard]] virtual std::string WorkDir() const = 0;
    [[nodiscard]] virtual std::string FfmpegPath() const = 0;
    // The run's progress changed (shown on the taskbar button).
    virtual void ShowProgress(const RunProgress& progress) = 0;
    // Milliseconds the PC was awake: it only goes forward, and sleep is no stall.
    [[nodiscard]] virtual std::uint64_t NowMs() const = 0;
};

class ConversionRun {
public:
    static constexpr std::uint32_t kTickMs = 500;
    // A running transcoder whose MP3 has not grown for this long has hung: it is ended.
    static constexpr std::uint64_t kStallMs = 60000;

    // `timerOwner` owns each job's timer; the run deletes it when the job ends.
    ConversionRun(RunState& state, JobList& jobs, IRunPlatform& platform, TComponent* timerOwner);
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // The convert command: starts the first pending row unless one runs.
    void Convert();
    // One tick of the running job's timer.
    void Tick(TAdvancedTimer* sender);
    // The transcoder of the job with this id has ended.
    void OnJobExited(std::int64_t jobId);
    // Ends the running transcoder and deletes what it wrote, and the run with
    // it: the window is closing, and a half-written MP3 must not stay behind.
    void Abandon() noexcept;

    [[nodiscard]] TAdvancedTimer* CurrentTimer() const noexcept { return currentTimer_; }
    // Where the running job's output is written until it is whole; empty when none runs.
    [[nodiscard]] const std::string& PartialPath() const noexcept { return partialPath_; }

    // What each job's timer calls; the run's own Tick when not set.
    TTimerEvent OnTick;
    std::uint64_t StallMs = kStallMs;

private:
    bool StartNextJob();
    bool StartTranscoder();
    void FinishJob(TAdvancedTimer* timer, Failure failure);
    void Finished(TAdvancedTimer* timer, std::uint32_t code, const OutputSize& size);
    Failure Verdict(std::uint32_t code, const OutputSize& size);
    [[nodiscard]] bool StalledNow() const;
    void ReportProgress(std::int64_t runningPercent);

    RunState& state_;
    JobList& jobs_;
    IRunPlatform& platform_;
    TComponent* timerOwner_;
    // The running job: its row's id, its transcoder, and the outputs this run wrote.
    std::int64_t currentJobId_ = 0;
    TAdvancedTimer* currentTimer_ = nullptr;
    std::unique_ptr<ITranscoder> transcoder_;
    std::string partialPath_;
    std::optional<Failure> verdict_;  // once the transcoder has ended and its output was judged
    std::int64_t currentDuration_ = 0;
    bool secondStartLeft_ = false;  // the current job may start its transcoder once more
    // The output's size when it last grew, and when that was.
    std::int64_t grownTo_ = -1;
    std::uint64_t grownAtMs_ = 0;
    std::set<std::string> runOutputs_;
    bool runActive_ = false;
    int finishedInRun_ = 0;  // rows of this run done or failed
    bool failedInRun_ = false;
};

}  // namespace kv
