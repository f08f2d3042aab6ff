// Fitting each language's texts into the window's fixed layout: the font a
// language reads best in, rows of labels that flow when they would overlap,
// list columns as wide as their texts.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kv::ui {

struct UiFont {
    std::wstring_view face;
    int pixels;  // the height of its letters at 96 dpi
};
// Tahoma at 8 points, the layout's own; Chinese, Japanese and Korean in the
// face Windows gives their own interface, a point larger so their characters
// stay legible.
UiFont UiFontFor(std::string_view languageTag);

// The lefts of a row of labels: as laid out while each ends `gap` before the
// next begins and the last by `limit`; else packed from the first one's left,
// `gap` apart. Nothing when even packed they pass the limit.
std::optional<std::vector<int>> FlowRow(std::span<const int> lefts, std::span<const int> widths, int gap, int limit);

// The list's column widths: each as laid out or as its widest text needs,
// whichever is more; what then passes `total` comes off the flexible columns
// (the names, which the list shortens anyway): first down to their need, then
// down to three fifths of their laid-out width, where a long head ends in "...".
std::vector<int> FitColumns(std::span<const int> laidOut, std::span<const int> need, std::span<const bool> flexible,
                            int total);

}  // namespace kv::ui
