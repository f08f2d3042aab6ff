#pragma once
// Reading a file whole into the program's memory.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kv::win {

// What an open file holds from its pointer to its end; a failed read ends it.
std::string ReadToEnd(HANDLE file);

// The whole file at a UTF-8 path of any length, opened so that others may go
// on reading and writing it. Nothing when it cannot be opened; GetLastError
// then tells why.
std::optional<std::string> ReadWholeFile(std::string_view path);

}  // namespace kv::win
