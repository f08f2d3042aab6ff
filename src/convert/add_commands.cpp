#include "convert/add_commands.h"

#include <algorithm>
#include <utility>

#include "app/handover.h"
#include "app/runner_text.h"
#include "components/FindFile.h"
#include "convert/duration_probe.h"
#include "convert/job_rules.h"
#include "win/error.h"

namespace kv {

AddCommands::AddCommands(IAddHost& host, IProbe& probe, IJobSink& jobs, TFindFile& finder, HandOverQueue& kept)
    : host_(host), probe_(probe), jobs_(jobs), finder_(finder), kept_(kept) {}

namespace {

bool IsMp4Name(const std::string& path) {
    const std::string name = FileNamePart(path);
    return name.size() >= 4 && SameTextAscii(name.substr(name.size() - 4), ".mp4");
}

}  // namespace

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
std::optional<std::string> AddCommands::AddFolder(const CheckedPath& folder, std::uint64_t request) {
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
        if (!answer) return BadFolderFileMessage(FileNamePart(listed));
        host_.RowAdded(request, jobs_.Append(*path, DisplayName(listed), StoredDuration(*answer)));
    }
    return std::nullopt;
}

void AddCommands::AddFileCommand() {
    if (host_.Busy()) return;
    const Active active(*this);
    const auto chosen = host_.AskForFile();
    if (!chosen) return;
    const auto path = host_.Check(*chosen);
    // A name typed into the dialog may be of any type: the dialog takes what "Add Folder" takes.
    if (!path || path->IsFolder() || !IsMp4Name(path->Text())) {
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
    if (const auto stopped = AddFolder(*folder)) host_.Tell(*stopped);
}

namespace {

std::vector<HandedPath> Handed(const std::vector<std::string>& paths, std::uint64_t request) {
    std::vector<HandedPath> out;
    out.reserve(paths.size());
    for (const auto& p : paths) out.push_back({p, request});
    return out;
}

}  // namespace

// Grouped by reason, in the order they came, each name quoted (no file name
// holds a quote): every file is named, however many.
std::string NotAddedText(const std::vector<NotAdded>& files) {
    std::vector<std::pair<std::string, std::string>> groups;  // reason, names
    for (const NotAdded& f : files) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == f.reason; });
        if (it == groups.end()) it = groups.insert(groups.end(), {f.reason, {}});
        it->second.append(it->second.empty() ? "\"" : ", \"").append(FileNamePart(f.path)).append("\"");
    }
    std::string text = files.size() == 1 ? "This file was not added:" : "These files were not added:";
    for (const auto& [reason, names] : groups) text.append("\n\n").append(names).append(": ").append(reason);
    return text;
}

bool AddCommands::AddDropped(const std::vector<std::string>& paths) {
    if (host_.Busy() || active_) return HandOver(paths);
    const Active active(*this);
    AddDroppedNow(Handed(paths, 0));
    return true;
}

bool AddCommands::HandOver(const std::vector<std::string>& paths, std::uint64_t request) {
    if (paths.empty()) return true;
    if (!kept_.Push(Handed(paths, request))) return false;
    if (!active_) host_.ScheduleHandedOver();
    return true;
}

void AddCommands::AddHandedOver() {
    if (kept_.Empty() || active_ || host_.Busy()) return;
    const Active active(*this);
    AddDroppedNow(kept_.TakeAll());
}

// Each path becomes rows or is named: one file that cannot be read does not
// cost the user the rest of the batch.
void AddCommands::AddDroppedNow(const std::vector<HandedPath>& paths) {
    std::vector<NotAdded> notAdded;
    for (const auto& p : paths) AddHandedPath(p, notAdded);
    if (!notAdded.empty()) host_.Tell(NotAddedText(notAdded));
}

void AddCommands::AddHandedPath(const HandedPath& handed, std::vector<NotAdded>& notAdded) {
    const auto path = host_.Check(handed.path);
    if (!path) {
        notAdded.push_back({handed.path, "it cannot be found, or its name is not one Windows can open."});
        return;
    }
    if (path->IsFolder()) {
        try {
            if (const auto stopped = AddFolder(*path, handed.request))
                notAdded.push_back({handed.path, "the folder was added up to a file that cannot be read. " + *stopped});
        } catch (const Error& e) {  // the folder alone is lost: the batch goes on
            notAdded.push_back({handed.path, e.what()});
        }
        return;
    }
    if (!IsMp4Name(path->Text())) {
        notAdded.push_back({handed.path, "it is not an MP4 file."});
        return;
    }
    std::optional<std::string> answer;
    try {
        answer = probe_.Answer(*path);
    } catch (const Error& e) {  // the file alone is lost: the batch goes on
        notAdded.push_back({handed.path, e.what()});
        return;
    }
    if (!answer) {
        notAdded.push_back({handed.path, "it has no readable length: the file is damaged or is not a video."});
        return;
    }
    host_.ShowFile(path->Text());
    host_.RowAdded(handed.request, jobs_.Append(*path, DisplayName(path->Text()), StoredDuration(*answer)));
}

}  // namespace kv
