#pragma once
// TFindFile: collects the full paths of the entries of a folder (or of a whole
// folder tree, breadth-first) whose names match a wildcard pattern and whose
// attributes pass an attribute filter.
//
// The search rules live here and build everywhere; listing one folder is a
// DirectoryLister. On Windows the one-argument constructor lists with
// FindFirstFileW/FindNextFileW. Paths are UTF-8.
#include "components/component.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kv {

// Each value is the bit position of its file attribute (ffHidden: 0x02 ...).
enum TAttrOption : std::uint8_t { ffReadOnly, ffHidden, ffSystem, ffVolumeID, ffDirectory, ffArchive };

class TAttrOptions {
public:
    constexpr TAttrOptions() noexcept = default;
    constexpr TAttrOptions(std::initializer_list<TAttrOption> options) noexcept {
        for (TAttrOption o : options) Include(o);
    }
    constexpr void Include(TAttrOption o) noexcept { bits_ |= Bit(o); }
    constexpr void Exclude(TAttrOption o) noexcept { bits_ &= static_cast<std::uint32_t>(~Bit(o)); }
    [[nodiscard]] constexpr bool Contains(TAttrOption o) const noexcept { return (bits_ & Bit(o)) != 0; }
    // The sum of the attribute bits: the mask of a search.
    [[nodiscard]] constexpr std::uint32_t Mask() const noexcept { return bits_; }
    friend constexpr bool operator==(TAttrOptions, TAttrOptions) noexcept = default;

private:
    static constexpr std::uint32_t Bit(TAttrOption o) noexcept { return 1u << o; }
    std::uint32_t bits_ = 0;
};

inline constexpr TAttrOptions kDefaultAttrOptions{ffReadOnly, ffHidden, ffSystem, ffArchive};
// Hidden, system, volume label and directory: an entry with any of these not in
// the mask is skipped. Read-only and archive select nothing.
inline constexpr std::uint32_t kSelectingAttributes = 0x02 | 0x04 | 0x08 | 0x10;
inline constexpr std::uint32_t kDirectoryAttribute = 0x10;
// Junctions and directory links: listed like other entries, never walked into,
// since one that points at its own ancestor would make a tree search endless.
inline constexpr std::uint32_t kReparsePointAttribute = 0x400;

// Whether an entry with these attributes is taken by a search with this mask.
[[nodiscard]] constexpr bool EntryTaken(std::uint32_t attributes, std::uint32_t mask) noexcept {
    return (attributes & kSelectingAttributes & ~mask) == 0;
}

struct FoundEntry {
    std::string name;  // the entry's own name, no folder
    std::uint32_t attributes = 0;
};

// Lists the entries of `folder` (ending in a backslash) whose names match
// `pattern`, in the platform's order, "." and ".." included if the platform
// gives them. A folder that cannot be listed gives nothing.
using DirectoryLister = std::function<std::vector<FoundEntry>(const std::string& folder, const std::string& pattern)>;

class TFindFile;
// Abort carries the finder's abort flag in; what the handler leaves in it becomes the flag.
using TNewPathEvent = std::function<void(TFindFile* sender, const std::string& newPath, bool& abort)>;

class TFindFile : public TComponent {
public:
#ifdef _WIN32
    explicit TFindFile(TComponent* owner);
#endif
    TFindFile(TComponent* owner, DirectoryLister lister);
    ~TFindFile() override;

    // Runs one search into Files. Handlers' exceptions leave it at once;
    // Files then keeps what was found so far.
    virtual void Execute();

    [[nodiscard]] bool Recurse() const noexcept { return recurse_; }
    void SetRecurse(bool value) noexcept { recurse_ = value; }
    [[nodiscard]] const std::string& Directory() const noexcept { return directory_; }
    void SetDirectory(const std::string& value) { directory_ = value; }
    // Matched by the platform: '*' and '?', case-insensitive.
    [[nodiscard]] const std::string& Filter() const noexcept { return filter_; }
    void SetFilter(const std::string& value) { filter_ = value; }
    // The results in search order; the finder owns the list, callers may edit it.
    [[nodiscard]] std::vector<std::string>& Files() noexcept { return files_; }
    [[nodiscard]] const std::vector<std::string>& Files() const noexcept { return files_; }
    void SetFiles(const std::vector<std::string>& value) { files_ = value; }
    [[nodiscard]] TAttrOptions Attributes() const noexcept { return attributes_; }
    void SetAttributes(TAttrOptions value) noexcept { attributes_ = value; }

    TNotifyEvent BeforeExecute;
    TNotifyEvent AfterExecute;
    // Raised for every folder just before it is listed (after its subfolders were queued).
    TNewPathEvent OnNewPath;

private:
    void SearchFolder(std::string path, std::uint32_t mask);
    void SearchTree(std::string root, std::uint32_t mask);
    void ListSubfolders(std::deque<std::string>& queue, std::string folder);

    DirectoryLister lister_;
    bool abort_ = false;
    TAttrOptions attributes_ = kDefaultAttrOptions;
    std::string directory_;
    bool recurse_ = false;
    std::string filter_ = "*.*";
    std::vector<std::string> files_;
};

}  // namespace kv
