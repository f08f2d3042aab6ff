#pragma once
// The paths a second copy hands to the running one in one WM_COPYDATA message:
// UTF-16, each path followed by a zero. The receiver reads the block as any
// other process could have sent it, so nothing in it is trusted.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/checked_path.h"

namespace kv {

// The message's tag (COPYDATASTRUCT::dwData): "KVP" and the format's number.
inline constexpr std::uintptr_t kHandOverTag = 0x4B565001;
// The same block, from a copy started with the "/convert" switch: the files
// are to be converted once they are in.
inline constexpr std::uintptr_t kHandOverConvertTag = 0x4B565002;
// What a hand-over's tag says. A sender waits a bounded time for the answer
// and then tells its user the files were not added; the message may still
// arrive later, so the tag carries the moment after which the receiver must
// not take it (the system's tick count, in its upper 32 bits: the sender and
// the receiver run on one PC). A plain tag, of an older build, has none.
struct HandOverKind {
    bool convert = false;
    std::optional<std::uint32_t> takeBefore;  // a tick count; nothing: no limit
};
// The tag of a block; nothing for a message that is no hand-over.
std::optional<HandOverKind> HandOverKindOf(std::uint64_t tag);
// The tag that asks for an answer before `takeBefore`.
std::uint64_t HandOverTagFor(bool convert, std::uint32_t takeBefore);
// Whether a hand-over may still be taken at the tick count `now`.
bool StillWanted(const HandOverKind& kind, std::uint32_t now);
// How long before the sender's own limit a receiver stops taking it: its answer must reach the sender in time.
inline constexpr std::uint32_t kHandOverAnswerMarginMs = 2000;

// A path longer than the system's longest (32767 units with its zero) is no path.
inline constexpr std::size_t kMaxHandedPath = 32767;
// Far more than any command line can hold; a larger block is refused whole.
inline constexpr std::size_t kMaxHandOverBytes = 16u << 20;
// Far more entries than a person selects; a block with more is refused whole,
// and so is a hand-over that would take the queue past it.
inline constexpr std::size_t kMaxHandOverEntries = 10000;

// The block for `paths` (empty paths left out).
std::u16string PackHandOver(const std::vector<std::u16string>& paths);

// The paths of a block; nothing for a block that is not whole (an odd byte
// count, no final zero, over the size limit) or holds more than
// kMaxHandOverEntries entries. Empty and over-long entries are skipped.
std::vector<std::u16string> UnpackHandOver(const void* data, std::size_t bytes);

// A path from outside, not yet checked against the file system (a share may
// be slow or offline: that is no work for the moment it arrives), and the
// "/convert" request it came with (0: none).
struct HandedPath {
    std::string path;
    std::uint64_t request = 0;
    bool operator==(const HandedPath&) const = default;
};

// Paths from outside (hand-overs, drops during a run, the command line) kept
// until the window can add them, in the order they came.
class HandOverQueue {
public:
    // False, and nothing kept, when they would take the queue past its bound.
    bool Push(const std::vector<HandedPath>& paths);
    std::vector<HandedPath> TakeAll() noexcept;
    [[nodiscard]] std::size_t Size() const noexcept { return paths_.size(); }
    [[nodiscard]] bool Empty() const noexcept { return paths_.empty(); }

private:
    std::vector<HandedPath> paths_;
};

// The paths of a hand-over that may be files at all, judged by their text
// alone (no file is touched): absolute paths Windows can hold.
std::vector<std::string> PlausiblePaths(const std::vector<std::string>& paths);

// What a later copy tells the user when the first copy did not take its
// files: `refused` when it answered and took none, else it did not answer.
std::string HandOverFailureText(bool refused, const std::vector<std::string>& paths);

}  // namespace kv
