#pragma once
// Paths for the file API beyond the classic length. Windows refuses a path of
// MAX_PATH (260) characters or more, and a folder path of 248 or more, unless it
// is written in the extended form "\\?\C:\..." or "\\?\UNC\server\share\...".
// That form skips the system's own clean-up of the path, so it is given here:
// "/" made "\", "." and ".." resolved, doubled separators merged and trailing
// dots and blanks of each part dropped, as the system would do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// What the path is handed to: CreateDirectoryW keeps room for an 8.3 name
// below the folder, the other file functions do not.
enum class PathFor : std::uint8_t { Folder, File };

// From this many UTF-16 units on, a path for `use` needs the extended form.
[[nodiscard]] constexpr std::size_t LongPathFrom(PathFor use) noexcept { return use == PathFor::Folder ? 248 : 260; }

// The path as the file API takes it: unchanged when short, already extended, a
// device path or relative with no folder to resolve it against; otherwise the
// extended form. `currentDir` resolves a relative path (empty: none). A caller
// that cannot tell what the path is for keeps the folder's limit, which serves both.
std::string ExtendedLengthPath(std::string_view path, std::string_view currentDir = {}, PathFor use = PathFor::Folder);

}  // namespace kv
