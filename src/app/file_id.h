#pragma once
// A file as its volume knows it, whatever name reaches it: another case of the
// name, its 8.3 alias, another path to the same folder.
#include <cstdint>

namespace kv {

struct FileId {
    std::uint64_t volume = 0;         // the volume's serial number
    std::uint64_t high = 0, low = 0;  // the file's index on it
    bool operator==(const FileId&) const = default;
};

}  // namespace kv
