#pragma once
// The add commands: one video or audio file, every such file of a folder, and
// dropped or handed-over files and folders. Each file is probed for its duration before
// it becomes a row. "Add Folder" stops at the first file the probe cannot
// read and names it; of dropped and handed-over paths, each becomes a row or
// is named with its reason in one message once the batch is added.
// Plain logic: the window, the probe and the job list are reached through the
// small interfaces below.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/checked_path.h"
#include "convert/probe_pool.h"

namespace kv {

class HandOverQueue;
struct HandedPath;
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
    // The border check, for a path from the file dialog or a folder listing.
    [[nodiscard]] virtual std::optional<CheckedPath> Check(const std::string& raw) const = 0;
    // Asks for AddHandedOver() to be called once the window is back in its
    // message loop (never from inside the call that asks).
    virtual void ScheduleHandedOver() = 0;
    // A row was made from a file of this "/convert" request (0: none).
    virtual void RowAdded(std::uint64_t /*request*/, std::int64_t /*jobId*/) {}
};

// A path of a drop or hand-over that gave no row, and why.
struct NotAdded {
    std::string path;
    std::string reason;
};
// The one message that names them: each file's name and its reason.
std::string NotAddedText(const std::vector<NotAdded>& files);

// Where added files go: a new row with its path, display name and stored duration.
class IJobSink {
public:
    virtual ~IJobSink() = default;
    virtual std::int64_t Append(const CheckedPath& path, const std::string& displayName, int duration) = 0;
    // A file added from a folder with its subfolders keeps its place in that tree.
    virtual void PlaceInTree(std::int64_t /*id*/, const std::string& /*subfolder*/) {}
};

class AddCommands {
public:
    // `finder` lists a folder's files (the names Korvello takes are picked here);
    // `kept` holds what arrives while the commands cannot add it.
    AddCommands(IAddHost& host, IProbe& probe, IJobSink& jobs, TFindFile& finder, HandOverQueue& kept);

    // "Add MP4 File".
    void AddFileCommand();
    // "Add Folder".
    void AddFolderCommand();
    // Files and folders dropped on the window: folders as "Add Folder" takes
    // them, video and audio files as "Add MP4 File" does, anything else named. During a
    // run they are kept, as handed-over ones are, and added at its end.
    // False when they could not even be kept (the queue is full).
    bool AddDropped(const std::vector<std::string>& paths);

    // Paths handed over from outside (the command line, a second copy), taken
    // as dropped ones, with the "/convert" request they came with (0: none).
    // They may arrive at any moment, even inside a probe's wait, so they are
    // only kept here, unchecked, and the host schedules their adding.
    // False, and nothing kept, when the queue has no room for them.
    bool HandOver(const std::vector<std::string>& paths, std::uint64_t request = 0);
    // Adds what was handed over, unless a run or another command goes on: then
    // it stays kept, and the end of that command (or the host, at the end of
    // the run) schedules it again.
    void AddHandedOver();
    [[nodiscard]] std::size_t HandedOverCount() const noexcept;
    // A command is under way (it may be waiting in a dialog or a probe).
    [[nodiscard]] bool CommandActive() const noexcept { return active_; }

    // Folders' files are probed several at once through `slots`, the window
    // kept answering by `wait`; without them, one at a time on this thread.
    void UsePool(IProbeSlots* slots, IProbeWait* wait) noexcept {
        slots_ = slots;
        wait_ = wait;
    }
    // Folders are taken with the files of every subfolder, breadth first.
    void SetAddSubfolders(bool on) noexcept { subfolders_ = on; }

    // The folder last added, where the folder pickers start.
    [[nodiscard]] const std::string& LastFolder() const noexcept { return lastFolder_; }
    void SetLastFolder(const std::string& folder) { lastFolder_ = folder; }

private:
    // A file to probe, with the name it was listed or handed over by.
    struct Candidate {
        CheckedPath path;
        std::string given;
        std::uint64_t request = 0;
    };
    bool AddOneFile(const CheckedPath& path);
    // The folder's files Korvello takes, in the listing's order.
    std::vector<Candidate> ListFolder(const CheckedPath& folder);
    // Probes them in order, several at once when a pool is set.
    ProbePool::Ended ProbeAll(const std::vector<Candidate>& files, const ProbePool::Take& take);
    // Nothing when every file of the folder was added (or the user stopped
    // the adding: `cancelled`); else the message that names the one that stopped it.
    std::optional<std::string> AddFolder(const CheckedPath& folder, std::uint64_t request, bool& cancelled);
    void AddDroppedNow(const std::vector<HandedPath>& paths);
    // False when the user stopped the adding.
    bool AddHandedFolder(const CheckedPath& folder, const HandedPath& handed, std::vector<NotAdded>& notAdded);
    bool AddHandedFiles(const std::vector<Candidate>& files, std::vector<NotAdded>& notAdded);
    // Marks a command as running for its lifetime; at its end, kept paths are scheduled.
    class Active;

    IAddHost& host_;
    IProbe& probe_;
    IJobSink& jobs_;
    TFindFile& finder_;
    HandOverQueue& kept_;
    IProbeSlots* slots_ = nullptr;
    IProbeWait* wait_ = nullptr;
    std::string lastFolder_;
    bool active_ = false;
    bool subfolders_ = false;
};

}  // namespace kv
