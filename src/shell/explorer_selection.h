#pragma once
// What Explorer's own menu entry does with a selection, decided from names
// alone: Explorer asks whether to show the entry while the menu opens, and
// nothing may touch a file (a share may be offline) to answer.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv::shell {

struct SelectedItem {
    std::string path;  // as the shell names it; UTF-8
    bool folder = false;
};

// Shown when every item is a folder or a file of a kind Korvello takes;
// hidden for an empty selection and for any other file among them.
bool ShowsFor(std::span<const SelectedItem> items);

// The longest command line CreateProcess takes, in UTF-16 units without its zero.
inline constexpr std::size_t kMaxCommandLine = 32766;

// UTF-16 units of a UTF-8 text: what a command line's limit counts.
std::size_t Utf16Length(std::string_view utf8);

// The command lines that start the program (`exe`, quoted) with "/convert" and
// the paths in their order. One line for any selection that fits the
// system's limit; more only when it does not, each as full as the limit
// allows: the copies they start hand their paths to the first one. A path
// that cannot fit a line of its own is left out.
std::vector<std::string> ConvertCommandLines(std::string_view exe, std::span<const std::string> paths,
                                             std::size_t limit = kMaxCommandLine);

}  // namespace kv::shell
