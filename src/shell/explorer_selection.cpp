#include "shell/explorer_selection.h"

#include <algorithm>

#include "app/command_line.h"
#include "app/media_kinds.h"
#include "app/runner_text.h"

namespace kv::shell {

bool ShowsFor(std::span<const SelectedItem> items) {
    return !items.empty() &&
           std::ranges::all_of(items, [](const SelectedItem& i) { return i.folder || IsMediaName(i.path); });
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0U) != 0x80U) ++units;  // a lead byte starts a character
        if (b >= 0xF0U) ++units;            // beyond the first plane: a surrogate pair
    }
    return units;
}

std::vector<std::string> ConvertCommandLines(std::string_view exe, std::span<const std::string> paths,
                                             std::size_t limit) {
    const std::string head = QuoteAlways(exe) + " " + std::string(kConvertSwitch);
    const std::size_t headUnits = Utf16Length(head);
    std::vector<std::string> lines;
    std::string line;
    std::size_t units = 0;
    for (const auto& path : paths) {
        if (path.empty()) continue;
        const std::string arg = " " + QuoteAlways(path);
        const std::size_t argUnits = Utf16Length(arg);
        if (headUnits + argUnits > limit) continue;
        if (!line.empty() && units + argUnits > limit) {
            lines.push_back(std::move(line));
            line.clear();
        }
        if (line.empty()) {
            line = head;
            units = headUnits;
        }
        line += arg;
        units += argUnits;
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

}  // namespace kv::shell
