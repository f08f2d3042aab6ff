#pragma once
// The add commands: one MP4 file, every MP4 file of a folder, and dropped files
// and folders. Each file is probed for its duration before it becomes a row;
// the first file the probe cannot read stops the command with a message.
// Plain logic: the window, the probe and the job list are reached through the
// small interfaces below.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class IProbe;
class TFindFile;

// What the add commands need of the window.
class IAddHost {
public:
    virtual ~IAddHost() = default;
    // While a conversion runs, the add commands do nothing.
    [[nodiscard]] virtual bool Busy() const = 0;
    // The file dialog for MP4 files; nothing when cancelled.
    virtual std::optional<std::string> AskForFile() = 0;
    // The folder picker, starting at `initial`; empty when cancelled.
    virtual std::string AskForFolder(const std::string& initial) = 0;
    // A message box with the application's title and one OK button.
    virtual void Tell(const std::string& text) = 0;
    // The boxes that show the last file and the last folder added.
    virtual void ShowFile(const std::string& path) = 0;
    virtual void ShowFolder(const std::string& folder) = 0;
    [[nodiscard]] virtual bool IsFolder(const std::string& path) const = 0;
    // Asks for AddHandedOver() to be called once the window is back in its
    // message loop (never from inside the call that asks).
    virtual void ScheduleHandedOver() = 0;
};

// Where added files go: a new row with its path, display name and stored duration.
class IJobSink {
public:
    virtual ~IJobSink() = default;
    virtual std::int64_t Append(const std::string& path, const std::string& displayName, int duration) = 0;
};

class AddCommands {
public:
    // `finder` lists a folder's MP4 files (its filter is set by the owner).
    AddCommands(IAddHost& host, IProbe& probe, IJobSink& jobs, TFindFile& finder);

    // "Add MP4 File".
    void AddFileCommand();
    // "Add Folder".
    void AddFolderCommand();
    // Files and folders dropped on the window: folders as "Add Folder" takes
    // them, MP4 files as "Add MP4 File" does, anything else skipped.
    void AddDropped(const std::vector<std::string>& paths);

    // Paths handed over from outside (the command line, a second copy), taken
    // as dropped ones. They may arrive at any moment, even inside a probe's
    // wait, so they are only kept here and the host schedules their adding.
    void HandOver(const std::vector<std::string>& paths);
    // Adds what was handed over, unless a run or another command goes on: then
    // it stays kept, and the end of that command (or the host, at the end of
    // the run) schedules it again.
    void AddHandedOver();
    [[nodiscard]] std::size_t HandedOverCount() const noexcept { return handedOver_.size(); }

    // The folder last added, where the folder pickers start.
    [[nodiscard]] const std::string& LastFolder() const noexcept { return lastFolder_; }
    void SetLastFolder(const std::string& folder) { lastFolder_ = folder; }

private:
    bool AddOneFile(const std::string& path);
    bool AddFolder(const std::string& folder);
    void AddDroppedNow(const std::vector<std::string>& paths);
    // Marks a command as running for its lifetime; at its end, kept paths are scheduled.
    class Active;

    IAddHost& host_;
    IProbe& probe_;
    IJobSink& jobs_;
    TFindFile& finder_;
    std::string lastFolder_;
    std::vector<std::string> handedOver_;
    bool active_ = false;
};

}  // namespace kv
