#include "ui/text_fit.h"

#include <algorithm>
#include <numeric>

namespace kv::ui {

UiFont UiFontFor(std::string_view languageTag) {
    if (languageTag == "ja") return {L"Yu Gothic UI", 12};
    if (languageTag == "ko") return {L"Malgun Gothic", 12};
    if (languageTag == "zh-Hans") return {L"Microsoft YaHei UI", 12};
    if (languageTag == "zh-Hant") return {L"Microsoft JhengHei UI", 12};
    return {L"Tahoma", 11};
}

std::optional<std::vector<int>> FlowRow(std::span<const int> lefts, std::span<const int> widths, int gap, int limit) {
    const std::size_t n = std::min(lefts.size(), widths.size());
    if (n == 0) return std::vector<int>{};
    bool asLaidOut = true;
    for (std::size_t i = 0; i < n; ++i) {
        const int end = i + 1 < n ? lefts[i + 1] - gap : limit;
        asLaidOut = asLaidOut && lefts[i] + widths[i] <= end;
    }
    if (asLaidOut) return std::vector<int>(lefts.begin(), lefts.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<int> packed(n);
    int at = lefts[0];
    for (std::size_t i = 0; i < n; ++i) {
        packed[i] = at;
        at += widths[i] + gap;
    }
    if (packed[n - 1] + widths[n - 1] > limit) return std::nullopt;
    return packed;
}

std::vector<int> FitColumns(std::span<const int> laidOut, std::span<const int> need, std::span<const bool> flexible,
                            int total) {
    const std::size_t n = std::min({laidOut.size(), need.size(), flexible.size()});
    std::vector<int> widths(n);
    for (std::size_t i = 0; i < n; ++i) widths[i] = std::max(laidOut[i], need[i]);
    int excess = std::accumulate(widths.begin(), widths.end(), 0) - total;
    // First down to the names' own need, then down to their floor: the list
    // never scrolls sideways, and a name column's head may then end in "...".
    // A pixel at a time from each in turn, so they give way evenly.
    for (const bool toFloor : {false, true}) {
        for (bool gave = true; gave && excess > 0;) {
            gave = false;
            for (std::size_t i = 0; i < n && excess > 0; ++i) {
                if (!flexible[i] || widths[i] <= (toFloor ? laidOut[i] * 3 / 5 : need[i])) continue;
                --widths[i];
                --excess;
                gave = true;
            }
        }
    }
    return widths;
}

}  // namespace kv::ui
