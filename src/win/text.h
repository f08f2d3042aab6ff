#pragma once
// Texts are UTF-8 inside the program; every Win32 call gets UTF-16 (the W functions).
#include <string>
#include <string_view>

#include "win/long_path.h"

namespace kv::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A file path for the W file functions: in the extended form when it is too
// long for the plain one (relative paths resolved against the current folder).
std::wstring FilePath(std::string_view utf8, PathFor use = PathFor::Folder);

// The system's text for an error code (GetLastError's), trimmed; "Error N"
// when the system has none.
std::string SystemErrorText(unsigned long code);

// Windows' own case-blind comparison, which folds every letter it knows, not
// only A to Z: how the file system compares names.
bool SameTextAnyCase(std::wstring_view a, std::wstring_view b);

}  // namespace kv::win
