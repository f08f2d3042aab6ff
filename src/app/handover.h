#pragma once
// The paths a second copy hands to the running one in one WM_COPYDATA message:
// UTF-16, each path followed by a zero. The receiver reads the block as any
// other process could have sent it, so nothing in it is trusted.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// The message's tag (COPYDATASTRUCT::dwData): "KVP" and the format's number.
inline constexpr std::uintptr_t kHandOverTag = 0x4B565001;
// A path longer than the system's longest (32767 units with its zero) is no path.
inline constexpr std::size_t kMaxHandedPath = 32767;
// Far more than any command line can hold; a larger block is refused whole.
inline constexpr std::size_t kMaxHandOverBytes = 16u << 20;

// The block for `paths` (empty paths left out).
std::u16string PackHandOver(const std::vector<std::u16string>& paths);

// The paths of a block; nothing for a block that is not whole (an odd byte
// count, no final zero, over the size limit). Empty and over-long entries are
// skipped.
std::vector<std::u16string> UnpackHandOver(const void* data, std::size_t bytes);

}  // namespace kv
