#include "convert/add_commands.h"

#include <algorithm>
#include <utility>

#include "app/texts.h"
#include "app/handover.h"
#include "app/media_kinds.h"
#include "app/runner_text.h"
#include "components/FindFile.h"
#include "convert/duration_probe.h"
#include "convert/job_rules.h"
#include "win/error.h"

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
        host_.Tell(Tr(TextId::BadHeaderMessage));
        return false;
    }
    host_.ShowFile(path.Text());
    jobs_.Append(path, DisplayName(path.Text()), StoredDuration(*answer));
    return true;
}

// A listed name that fails the border check is skipped, as a file Korvello
// does not take is.
std::vector<AddCommands::Candidate> AddCommands::ListFolder(const CheckedPath& folder) {
    finder_.Files().clear();
    finder_.SetRecurse(subfolders_);
    finder_.SetDirectory(folder.Text());
    finder_.Execute();
    std::vector<Candidate> files;
    for (const auto& listed : finder_.Files()) {
        if (!IsMediaName(listed)) continue;
        auto path = host_.Check(listed);
        if (path && !path->IsFolder()) files.push_back({std::move(*path), listed});
    }
    return files;
}

ProbePool::Ended AddCommands::ProbeAll(const std::vector<Candidate>& files, const ProbePool::Take& take) {
    std::vector<CheckedPath> paths;
    paths.reserve(files.size());
    for (const auto& f : files) paths.push_back(f.path);
    if (slots_ && wait_) return ProbePool(*slots_).Run(paths, *wait_, take);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        ProbeResult result;
        try {
            result.answer = probe_.Answer(paths[i]);
        } catch (...) {  // raised again by `take`, as the pool's threads' failures are
            result.failure = std::current_exception();
        }
        if (!take(i, result)) return ProbePool::Ended::Stopped;
    }
    return ProbePool::Ended::All;
}

// Every file of one folder, stopping at the first unusable one.
std::optional<std::string> AddCommands::AddFolder(const CheckedPath& folder, std::uint64_t request, bool& cancelled) {
    lastFolder_ = folder.Text();
    host_.ShowFolder(folder.Text());
    const std::vector<Candidate> files = ListFolder(folder);
    std::optional<std::string> stopped;
    const auto ended = ProbeAll(files, [&](std::size_t i, ProbeResult& result) {
        if (result.failure) std::rethrow_exception(result.failure);
        if (!result.answer) {
            stopped = BadFolderFileMessage(FileNamePart(files[i].given));
            return false;
        }
        const Candidate& file = files[i];
        const std::int64_t id = jobs_.Append(file.path, DisplayName(file.given), StoredDuration(*result.answer));
        if (subfolders_) jobs_.PlaceInTree(id, TreePlaceOf(folder.Text(), file.given));
        host_.RowAdded(request, id);
        return true;
    });
    cancelled = ended == ProbePool::Ended::Cancelled;
    return stopped;
}

void AddCommands::AddFileCommand() {
    if (host_.Busy()) return;
    const Active active(*this);
    const auto chosen = host_.AskForFile();
    if (!chosen) return;
    const auto path = host_.Check(*chosen);
    // A name typed into the dialog may be of any type: the dialog takes what "Add Folder" takes.
    if (!path || path->IsFolder() || !IsMediaName(path->Text())) {
        host_.Tell(Tr(TextId::BadHeaderMessage));
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
    bool cancelled = false;
    if (const auto stopped = AddFolder(*folder, 0, cancelled)) host_.Tell(*stopped);
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
    std::string text = Tr(files.size() == 1 ? TextId::OneNotAdded : TextId::SomeNotAdded);
    for (const auto& [reason, names] : groups) text.append("\n\n").append(Tr(TextId::NotAddedLine, {names, reason}));
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
// cost the user the rest of the batch. Files between folders are probed
// together; the user's stop ends the whole batch.
void AddCommands::AddDroppedNow(const std::vector<HandedPath>& paths) {
    std::vector<NotAdded> notAdded;
    std::vector<Candidate> files;
    bool going = true;
    for (const auto& handed : paths) {
        if (!going) break;
        const auto path = host_.Check(handed.path);
        if (!path) {
            notAdded.push_back({handed.path, Tr(TextId::NotFoundWhy)});
        } else if (path->IsFolder()) {
            going = AddHandedFiles(std::exchange(files, {}), notAdded) && AddHandedFolder(*path, handed, notAdded);
        } else if (!IsMediaName(path->Text())) {
            notAdded.push_back({handed.path, Tr(TextId::NotMediaWhy)});
        } else {
            files.push_back({*path, handed.path, handed.request});
        }
    }
    if (going) AddHandedFiles(files, notAdded);
    if (!notAdded.empty()) host_.Tell(NotAddedText(notAdded));
}

bool AddCommands::AddHandedFolder(const CheckedPath& folder, const HandedPath& handed,
                                  std::vector<NotAdded>& notAdded) {
    bool cancelled = false;
    try {
        if (const auto stopped = AddFolder(folder, handed.request, cancelled))
            notAdded.push_back({handed.path, Tr(TextId::FolderStoppedWhy, {*stopped})});
    } catch (const Error& e) {  // the folder alone is lost: the batch goes on
        notAdded.push_back({handed.path, e.what()});
    }
    return !cancelled;
}

bool AddCommands::AddHandedFiles(const std::vector<Candidate>& files, std::vector<NotAdded>& notAdded) {
    const auto ended = ProbeAll(files, [&](std::size_t i, ProbeResult& result) {
        const Candidate& file = files[i];
        try {
            if (result.failure) std::rethrow_exception(result.failure);
        } catch (const Error& e) {  // the file alone is lost: the batch goes on
            notAdded.push_back({file.given, e.what()});
            return true;
        }
        if (!result.answer) {
            notAdded.push_back({file.given, Tr(TextId::NoLengthWhy)});
            return true;
        }
        host_.ShowFile(file.path.Text());
        host_.RowAdded(file.request,
                       jobs_.Append(file.path, DisplayName(file.path.Text()), StoredDuration(*result.answer)));
        return true;
    });
    return ended != ProbePool::Ended::Cancelled;
}

}  // namespace kv
