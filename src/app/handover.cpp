#include "app/handover.h"

#include <cstring>

namespace kv {

std::u16string PackHandOver(const std::vector<std::u16string>& paths) {
    std::u16string block;
    for (const auto& p : paths) {
        if (p.empty()) continue;
        // A zero inside a path would split it; what follows it cannot be part of a file name anyway.
        block.append(p.substr(0, p.find(u'\0')));
        block.push_back(u'\0');
    }
    return block;
}

std::vector<std::u16string> UnpackHandOver(const void* data, std::size_t bytes) {
    std::vector<std::u16string> paths;
    if (!data || bytes == 0 || bytes % sizeof(char16_t) != 0 || bytes > kMaxHandOverBytes) return paths;
    // The sender's memory is copied, not read in place: it need not be aligned.
    std::u16string block(bytes / sizeof(char16_t), u'\0');
    std::memcpy(block.data(), data, bytes);
    if (block.back() != u'\0') return paths;
    std::size_t from = 0;
    while (from < block.size()) {
        const std::size_t end = block.find(u'\0', from);
        const std::size_t length = end - from;
        if (length > 0 && length < kMaxHandedPath) paths.push_back(block.substr(from, length));
        from = end + 1;
    }
    return paths;
}

}  // namespace kv
