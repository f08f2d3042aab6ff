#pragma once
// Texts are UTF-8 inside the program; every Win32 call gets UTF-16 (the W functions).
#include <string>
#include <string_view>

namespace kv::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A file path for the W file functions: in the extended form when it is too
// long for the plain one (relative paths resolved against the current folder).
std::wstring FilePath(std::string_view utf8);

}  // namespace kv::win
