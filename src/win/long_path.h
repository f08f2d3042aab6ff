#pragma once
// Paths for the file API beyond the classic length. Windows refuses a path of
// MAX_PATH (260) characters or more, and a folder path of 248 or more, unless it
// is written in the extended form "\\?\C:\..." or "\\?\UNC\server\share\...".
// That form skips the system's own clean-up of the path, so it is given here:
// "/" made "\", "." and ".." resolved, doubled separators merged and trailing
// dots and blanks of each part dropped, as the system would do.
#include <string>
#include <string_view>

namespace kv {

// From this many UTF-16 units on, a path gets the extended form.
inline constexpr std::size_t kLongPathFrom = 248;

// The path as the file API takes it: unchanged when short, already extended, a
// device path or relative with no folder to resolve it against; otherwise the
// extended form. `currentDir` resolves a relative path (empty: none).
std::string ExtendedLengthPath(std::string_view path, std::string_view currentDir = {});

// The length in UTF-16 units of UTF-8 text (what the system counts).
std::size_t Utf16Length(std::string_view utf8);

}  // namespace kv
