#pragma once
// Texts are UTF-8 inside the program; every Win32 call gets UTF-16 (the W functions).
#include <string>
#include <string_view>

namespace kv::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace kv::win
