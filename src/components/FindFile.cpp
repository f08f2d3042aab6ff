#include "components/FindFile.h"

#include <utility>

namespace kv {

namespace {

void EndWithBackslash(std::string& path) {
    if (path.empty() || path.back() != '\\') path += '\\';
}

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

// Subfolders are queued whatever the finder's Attributes say.
constexpr std::uint32_t kAllAttributes = 0x3F;

}  // namespace

TFindFile::TFindFile(TComponent* owner, DirectoryLister lister) : TComponent(owner), lister_(std::move(lister)) {}

TFindFile::~TFindFile() = default;

void TFindFile::Execute() {
    // The mask belongs to this search alone; a flag left set by an earlier
    // search's handler would otherwise stop every later search at its first folder.
    const std::uint32_t mask = attributes_.Mask();
    abort_ = false;
    files_.clear();
    if (BeforeExecute) BeforeExecute(this);
    if (!directory_.empty()) {
        if (recurse_)
            SearchTree(directory_, mask);
        else
            SearchFolder(directory_, mask);
    }
    if (AfterExecute) AfterExecute(this);
}

void TFindFile::SearchFolder(std::string path, std::uint32_t mask) {
    EndWithBackslash(path);
    if (OnNewPath) OnNewPath(this, path, abort_);
    if (abort_) return;
    for (const FoundEntry& e : lister_(path, filter_)) {
        if (EntryTaken(e.attributes, mask) && !IsDotEntry(e.name)) files_.push_back(path + e.name);
    }
}

void TFindFile::SearchTree(std::string root, std::uint32_t mask) {
    EndWithBackslash(root);
    std::deque<std::string> queue{std::move(root)};
    while (!queue.empty()) {
        ListSubfolders(queue, queue.front());
        SearchFolder(queue.front(), mask);
        queue.pop_front();
        if (abort_) break;
    }
}

void TFindFile::ListSubfolders(std::deque<std::string>& queue, std::string folder) {
    EndWithBackslash(folder);
    for (const FoundEntry& e : lister_(folder, "*.*")) {
        const bool walkable = (e.attributes & kDirectoryAttribute) != 0 && (e.attributes & kReparsePointAttribute) == 0;
        if (walkable && EntryTaken(e.attributes, kAllAttributes) && !IsDotEntry(e.name))
            queue.push_back(folder + e.name);
    }
}

}  // namespace kv
