#pragma once
// Paths from outside the program (the command line, a second copy, a drop,
// a dialog, a folder listing) pass one border check before anything uses
// them. A CheckedPath comes only out of that check, so the probe and the
// command lines, which take one, can never be handed an unchecked string.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

enum class PathKind : std::uint8_t { Missing, File, Folder };

// What the file system says about a path: the seam the tests fake.
class IPathLookup {
public:
    virtual ~IPathLookup() = default;
    [[nodiscard]] virtual PathKind KindOf(const std::string& path) const = 0;
    // The longest name one part may have on the path's volume, in UTF-16 units.
    [[nodiscard]] virtual std::size_t MaxComponentLength(const std::string&) const { return 255; }
};

class CheckedPath;
std::optional<CheckedPath> CheckPath(std::string_view raw, const IPathLookup& lookup);

// An absolute path that Windows can hold and that named an existing file or
// folder when it was checked.
class CheckedPath {
public:
    [[nodiscard]] const std::string& Text() const noexcept { return text_; }
    [[nodiscard]] PathKind Kind() const noexcept { return kind_; }
    [[nodiscard]] bool IsFolder() const noexcept { return kind_ == PathKind::Folder; }
    friend bool operator==(const CheckedPath&, const CheckedPath&) = default;

private:
    friend std::optional<CheckedPath> CheckPath(std::string_view raw, const IPathLookup& lookup);
    CheckedPath(std::string text, PathKind kind) : text_(std::move(text)), kind_(kind) {}
    std::string text_;
    PathKind kind_;
};

// The longest path the system takes, in UTF-16 units without the final zero.
inline constexpr std::size_t kMaxPathUnits = 32767 - 1;

// Why `path` is no absolute path Windows can hold; nullptr when it is one.
// Accepted: "X:\...", "\\server\share\...", and both in the extended form
// "\\?\". Refused: relative, drive-relative and device paths; the characters
// " < > | * ? / and control characters; ":" past the drive; an empty, "."
// or ".." part; a part ending in "." or a blank (the system would drop it);
// a device name such as CON or COM1; a part longer than `maxComponent`; more
// than kMaxPathUnits in all; text that is not UTF-8.
const char* PathSyntaxProblem(std::string_view path, std::size_t maxComponent = 255);

// Whether a folder setting (read from the registry) can be used as it stands:
// an absolute path Windows can hold, with or without a final "\".
bool IsUsableFolderSetting(std::string_view value);

// The path without a final "\" (a drive or share root keeps its own).
std::string WithoutTrailingSeparator(std::string_view path);

}  // namespace kv
