#pragma once
// The main window's logic as one object: the jobs, the conversion run, the
// add commands, the "/convert" requests, the user's choices and the folders.
// The window turns each act of the user (a click, a key, a drop, a message
// from another copy) into one command here; the controller decides, changes
// its own state and tells the views what to show. Nothing it decides is read
// back from a control. Plain logic: the desktop, the settings and the disk are
// reached through the small interfaces below and those of the run and probe.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/handover.h"
#include "app/settings_store.h"
#include "convert/add_commands.h"
#include "convert/auto_convert.h"
#include "convert/choices.h"
#include "convert/conversion_run.h"
#include "convert/duration_probe.h"
#include "convert/job_list.h"

namespace kvtest {
struct FormAccess;  // the window's in-process tests set the folders and tools
}

namespace kv {

class TComponent;
class TFindFile;

// What the window shows besides the rows.
class IFormView {
public:
    virtual ~IFormView() = default;
    virtual void ShowFile(const std::string& path) = 0;      // the file last added
    virtual void ShowFolder(const std::string& folder) = 0;  // the folder last added
    // The output folder as the setting holds it, and the one the MP3s go to.
    virtual void ShowOutputFolder(const std::string& stored, const std::string& used) = 0;
    virtual void ShowChoices(const ConversionChoices& choices) = 0;
    // A run has ended: the taskbar button flashes unless the window is in front,
    // and with `notify` a notification tells how its rows ended.
    virtual void RunEnded(const RunCounts& counts, bool notify) = 0;
};

// What the controller asks of the desktop.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    // The file dialog for MP4 files; nothing when cancelled.
    virtual std::optional<std::string> AskForFile() = 0;
    // The folder picker, starting at `initial`; empty when cancelled.
    virtual std::string AskForFolder(const std::string& initial) = 0;
    // A message box with the application's title and one OK button.
    virtual void Tell(const std::string& text) = 0;
    // Opens a file or folder as Explorer would.
    virtual void ShellOpen(const std::string& target) = 0;
    // Asks for Controller::AddHandedOver once the window is back in its
    // message loop, after a pause of `afterMs` when not 0.
    virtual void ScheduleHandedOver(std::uint32_t afterMs = 0) = 0;
    // Starts or stops the calls of Controller::AutoConvertTick at short intervals.
    virtual void PollAutoConvert(bool on) = 0;
    // The window takes input: no dialog or message box of it is open.
    [[nodiscard]] virtual bool WindowFree() const = 0;
    // The window is going away: nothing more is added or started.
    [[nodiscard]] virtual bool Closing() const = 0;
    // A menu of the window is open.
    [[nodiscard]] virtual bool MenuOpen() const = 0;
    // Milliseconds the PC was awake.
    [[nodiscard]] virtual std::uint64_t NowMs() const = 0;
};

// The folders the shell names; empty when it cannot name one.
struct SpecialFolders {
    std::string temp, documents, appData;
};

// The program's folders, each with its trailing separator: where temporary
// files go, where MP3s go, where the tools are, and the folder last added.
struct Folders {
    std::string TempDir, WorkDir, AppDir;
};

// What the controller is built on: the window's views and desktop, the
// platforms of the run and the probe, the settings and the disk.
struct ControllerPorts {
    IFormView& view;
    IJobView* rows;
    IDesktop& desktop;
    ISettingsStore& settings;
    IFolderSystem& folders;
    IRunPlatform& run;
    IProbePlatform& probe;
    TFindFile& finder;       // lists a folder's MP4 files
    TComponent* timerOwner;  // owns each job's timer
};

class Controller {
public:
    explicit Controller(const ControllerPorts& ports);
    ~Controller();
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Start-up: the folders from the shell's and the stored setting, made where missing.
    void Start(const SpecialFolders& special);
    // The tools as installed; an empty path where a tool could not be set up.
    void SetTools(const std::string& ffmpegPath, const std::string& mediaInfoPath);
    // The choices as stored, for a PC of this many logical processors.
    void LoadChoices(int logicalProcessors);
    void Choose(const ConversionChoices& choices);

    // The add commands.
    void AddFile();
    void AddFolder();
    void AddDropped(const std::vector<std::string>& paths);
    // Paths from the command line or another copy, with the "/convert" switch
    // or without; false when there is no room left to keep them.
    bool HandOver(const std::vector<std::string>& paths, bool convert);
    // Adds what was handed over, once the window takes input again.
    void AddHandedOver();
    // Starts the run of a "/convert" request once it is due and the window idle.
    void AutoConvertTick();

    void ChooseOutputFolder();
    void Convert();
    void JobExited(std::int64_t jobId) { run_.OnJobExited(jobId); }
    // The row at `index`: removed (the Delete key), or clicked at x over columns of these widths.
    void RemoveRow(int index);
    void ClickRow(int index, int x, const std::array<int, 4>& widths);
    // The window closes: the running jobs end and what they wrote goes.
    void Close() noexcept { run_.Abandon(); }

    [[nodiscard]] bool Busy() const noexcept { return run_.Busy(); }
    [[nodiscard]] const Folders& Dirs() const noexcept { return folders_; }
    [[nodiscard]] const std::string& LastFolder() const noexcept { return adder_.LastFolder(); }
    [[nodiscard]] const std::string& FfmpegPath() const noexcept { return ffmpegPath_; }
    [[nodiscard]] const std::string& MediaInfoPath() const noexcept { return mediaInfoPath_; }
    [[nodiscard]] const ConversionChoices& Choices() const noexcept { return choices_; }
    [[nodiscard]] int MaxFilesAtOnce() const noexcept { return maxFilesAtOnce_; }
    [[nodiscard]] const JobList& Jobs() const noexcept { return jobs_; }
    JobList& Jobs() noexcept { return jobs_; }
    ConversionRun& Run() noexcept { return run_; }
    AddCommands& Adder() noexcept { return adder_; }
    DurationProbe& Probe() noexcept { return probe_; }

private:
    void ShowPlace();
    friend struct kvtest::FormAccess;
    class Host;  // the add commands' and the run's view of the controller
    void SaveChoices();
    [[nodiscard]] bool IdleForAutoConvert() const;

    IFormView& view_;
    IDesktop& desktop_;
    ISettingsStore& settings_;
    IFolderSystem& disk_;
    Folders folders_;
    std::string ffmpegPath_, mediaInfoPath_;
    ConversionChoices choices_;
    int maxFilesAtOnce_ = 1;
    std::unique_ptr<Host> host_;
    JobList jobs_;
    DurationProbe probe_;
    HandOverQueue kept_;  // what arrives while the add commands cannot add it
    AddCommands adder_;
    ConversionRun run_;
    AutoConvert autoConvert_;
};

}  // namespace kv
