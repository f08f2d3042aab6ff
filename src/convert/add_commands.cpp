#include "convert/add_commands.h"

#include <utility>

#include "app/runner_text.h"
#include "components/FindFile.h"
#include "convert/duration_probe.h"
#include "convert/job_rules.h"

namespace kv {

AddCommands::AddCommands(IAddHost& host, IProbe& probe, IJobSink& jobs, TFindFile& finder)
    : host_(host), probe_(probe), jobs_(jobs), finder_(finder) {}

class AddCommands::Active {
public:
    explicit Active(AddCommands& owner) : owner_(owner), outer_(owner.active_) { owner_.active_ = true; }
    ~Active() {
        owner_.active_ = outer_;
        if (!outer_ && !owner_.handedOver_.empty()) owner_.host_.ScheduleHandedOver();
    }
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;

private:
    AddCommands& owner_;
    bool outer_;
};

// One probed file; false when the probe gave no answer (already reported).
bool AddCommands::AddOneFile(const std::string& path) {
    const auto answer = probe_.Answer(path);
    if (!answer) {
        host_.Tell(std::string(kBadFileMessage));
        return false;
    }
    host_.ShowFile(path);
    jobs_.Append(path, DisplayName(path), StoredDuration(*answer));
    return true;
}

// Every MP4 file of one folder, stopping at the first unusable one.
bool AddCommands::AddFolder(const std::string& folder) {
    lastFolder_ = folder;
    host_.ShowFolder(folder);
    finder_.Files().clear();
    finder_.SetDirectory(folder);
    finder_.Execute();
    const std::vector<std::string> files = finder_.Files();
    for (const auto& path : files) {
        const auto answer = probe_.Answer(path);
        if (!answer) {
            host_.Tell(BadFolderFileMessage(FileNamePart(path)));
            return false;
        }
        jobs_.Append(path, DisplayName(path), StoredDuration(*answer));
    }
    return true;
}

void AddCommands::AddFileCommand() {
    if (host_.Busy()) return;
    const Active active(*this);
    const auto path = host_.AskForFile();
    if (!path) return;
    AddOneFile(*path);
}

void AddCommands::AddFolderCommand() {
    if (host_.Busy()) return;
    const Active active(*this);
    const std::string folder = host_.AskForFolder(lastFolder_);
    if (folder.empty()) return;
    AddFolder(folder);
}

void AddCommands::AddDropped(const std::vector<std::string>& paths) {
    if (host_.Busy()) return;
    const Active active(*this);
    AddDroppedNow(paths);
}

void AddCommands::HandOver(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    handedOver_.insert(handedOver_.end(), paths.begin(), paths.end());
    if (!active_) host_.ScheduleHandedOver();
}

void AddCommands::AddHandedOver() {
    if (handedOver_.empty() || active_ || host_.Busy()) return;
    const Active active(*this);
    AddDroppedNow(std::exchange(handedOver_, {}));
}

void AddCommands::AddDroppedNow(const std::vector<std::string>& paths) {
    for (const auto& p : paths) {
        if (host_.IsFolder(p)) {
            if (!AddFolder(p)) return;
        } else {
            const std::string name = FileNamePart(p);
            if (name.size() < 4 || !SameTextAscii(name.substr(name.size() - 4), ".mp4")) continue;
            if (!AddOneFile(p)) return;
        }
    }
}

}  // namespace kv
