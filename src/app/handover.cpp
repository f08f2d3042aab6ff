#include "app/handover.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/runner_text.h"
#include "app/texts.h"

namespace kv {

std::optional<HandOverKind> HandOverKindOf(std::uint64_t tag) {
    const auto low = static_cast<std::uint32_t>(tag & 0xFFFFFFFFu);
    const auto high = static_cast<std::uint32_t>(tag >> 32);
    if (low != kHandOverTag && low != kHandOverConvertTag) return std::nullopt;
    HandOverKind kind{low == kHandOverConvertTag, std::nullopt};
    if (high != 0) kind.takeBefore = high;
    return kind;
}

std::uint64_t HandOverTagFor(bool convert, std::uint32_t takeBefore) {
    // 0 would read as "no limit": the tick before it is as good.
    const std::uint32_t stamp = takeBefore == 0 ? 0xFFFFFFFFu : takeBefore;
    return (std::uint64_t{stamp} << 32) | (convert ? kHandOverConvertTag : kHandOverTag);
}

bool StillWanted(const HandOverKind& kind, std::uint32_t now) {
    // The difference as a signed number: the tick count wraps every 49.7 days.
    return !kind.takeBefore || static_cast<std::int32_t>(*kind.takeBefore - now) > 0;
}

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
    if (static_cast<std::size_t>(std::count(block.begin(), block.end(), u'\0')) > kMaxHandOverEntries) return paths;
    std::size_t from = 0;
    while (from < block.size()) {
        const std::size_t end = block.find(u'\0', from);
        const std::size_t length = end - from;
        if (length > 0 && length < kMaxHandedPath) paths.push_back(block.substr(from, length));
        from = end + 1;
    }
    return paths;
}

bool HandOverQueue::Push(const std::vector<HandedPath>& paths) {
    if (paths.size() > kMaxHandOverEntries - paths_.size()) return false;
    paths_.insert(paths_.end(), paths.begin(), paths.end());
    return true;
}

std::vector<HandedPath> HandOverQueue::TakeAll() noexcept { return std::exchange(paths_, {}); }

std::vector<std::string> PlausiblePaths(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const auto& p : paths)
        if (!PathSyntaxProblem(p, kMaxHandedPath)) out.push_back(p);
    return out;
}

std::string HandOverFailureText(bool refused, const std::vector<std::string>& paths) {
    std::string text = Tr(refused ? TextId::RefusedMessage : TextId::NoAnswerMessage);
    if (paths.empty()) return text;
    text.append(" ").append(Tr(paths.size() == 1 ? TextId::OneNotAdded : TextId::SomeNotAdded)).append("\n");
    constexpr std::size_t kShown = 10;
    for (std::size_t i = 0; i < paths.size() && i < kShown; ++i) text += "\n" + FileNamePart(paths[i]);
    if (paths.size() > kShown) text.append("\n").append(Tr(TextId::MoreFiles, {std::to_string(paths.size() - kShown)}));
    return text;
}

}  // namespace kv
