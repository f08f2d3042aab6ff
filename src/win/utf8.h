#pragma once
// Rules over the program's UTF-8 text that need no system: ASCII case, the
// trimming of blanks and control characters, and the length as Windows counts it.
#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// a to z made A to Z; every other byte, UTF-8 ones included, stays as it is.
[[nodiscard]] constexpr char UpperAscii(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
[[nodiscard]] std::string UpperAscii(std::string_view s);

// Case-insensitive comparison of ASCII letters, other bytes exact.
[[nodiscard]] bool SameTextAscii(std::string_view a, std::string_view b);

// Trims blanks and control characters (<= ' ') at both ends.
[[nodiscard]] std::string TrimText(std::string_view s);

// The length in UTF-16 units of UTF-8 text (what the system counts).
[[nodiscard]] std::size_t Utf16Length(std::string_view utf8);

}  // namespace kv
