#include "convert/add_commands.h"

#include <utility>

#include "app/handover.h"
#include "app/runner_text.h"
#include "components/FindFile.h"
#include "convert/duration_probe.h"
#include "convert/job_rules.h"

namespace kv {

AddCommands::AddCommands(IAddHost& host, IProbe& probe, IJobSink& jobs, TFindFile& finder, HandOverQueue& kept)
    : host_(host), probe_(probe), jobs_(jobs), finder_(finder), kept_(kept) {}

class AddCommands::Active {
public:
    explicit Active(AddCommands& owner) : owner_(owner), outer_(owner.active_) { owner_.active_ = true; }
    ~Active() {
        owner_.active_ = outer_;
        if (!outer_ && !owner_.kept_.Empty()) owner_.host_.ScheduleHandedOver();
    }
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;

private:
    AddCommands& owner_;
    bool outer_;
};

std::size_t AddCommands::HandedOverCount() const noexcept { return kept_.Size(); }

// One probed file; false when the probe gave no answer (already reported).
bool AddCommands::AddOneFile(const CheckedPath& path) {
    const auto answer = probe_.Answer(path);
    if (!answer) {
        host_.Tell(std::string(kBadFileMessage));
        return false;
    }
    host_.ShowFile(path.Text());
    jobs_.Append(path, DisplayName(path.Text()), StoredDuration(*answer));
    return true;
}

// Every MP4 file of one folder, stopping at the first unusable one. A listed
// name that fails the border check is skipped, as any non-MP4 file is.
bool AddCommands::AddFolder(const CheckedPath& folder) {
    lastFolder_ = folder.Text();
    host_.ShowFolder(folder.Text());
    finder_.Files().clear();
    finder_.SetDirectory(folder.Text());
    finder_.Execute();
    const std::vector<std::string> files = finder_.Files();
    for (const auto& listed : files) {
        const auto path = host_.Check(listed);
        if (!path || path->IsFolder()) continue;
        const auto answer = probe_.Answer(*path);
        if (!answer) {
            host_.Tell(BadFolderFileMessage(FileNamePart(listed)));
            return false;
        }
        jobs_.Append(*path, DisplayName(listed), StoredDuration(*answer));
    }
    return true;
}

void AddCommands::AddFileCommand() {
    if (host_.Busy()) return;
    const Active active(*this);
    const auto chosen = host_.AskForFile();
    if (!chosen) return;
    const auto path = host_.Check(*chosen);
    if (!path || path->IsFolder()) {
        host_.Tell(std::string(kBadFileMessage));
        return;
    }
    AddOneFile(*path);
}

void AddCommands::AddFolderCommand() {
    if (host_.Busy()) return;
    const Active active(*this);
    const std::string chosen = host_.AskForFolder(lastFolder_);
    if (chosen.empty()) return;
    const auto folder = host_.Check(chosen);
    if (!folder || !folder->IsFolder()) {
        host_.Tell(BadFolderFileMessage(FileNamePart(chosen)));
        return;
    }
    AddFolder(*folder);
}

bool AddCommands::AddDropped(const std::vector<CheckedPath>& paths) {
    if (host_.Busy() || active_) return HandOver(paths);
    const Active active(*this);
    AddDroppedNow(paths);
    return true;
}

bool AddCommands::HandOver(const std::vector<CheckedPath>& paths) {
    if (paths.empty()) return true;
    if (!kept_.Push(paths)) return false;
    if (!active_) host_.ScheduleHandedOver();
    return true;
}

void AddCommands::AddHandedOver() {
    if (kept_.Empty() || active_ || host_.Busy()) return;
    const Active active(*this);
    AddDroppedNow(kept_.TakeAll());
}

void AddCommands::AddDroppedNow(const std::vector<CheckedPath>& paths) {
    for (const auto& p : paths) {
        if (p.IsFolder()) {
            if (!AddFolder(p)) return;
        } else {
            const std::string name = FileNamePart(p.Text());
            if (name.size() < 4 || !SameTextAscii(name.substr(name.size() - 4), ".mp4")) continue;
            if (!AddOneFile(p)) return;
        }
    }
}

}  // namespace kv
