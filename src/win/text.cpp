#include "win/text.h"

#include <windows.h>

#include "win/long_path.h"

namespace kv::win {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FilePath(std::string_view utf8) {
    if (Utf16Length(utf8) < kLongPathFrom) return Widen(utf8);
    std::wstring cur(MAX_PATH, L'\0');
    DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(cur.size()), cur.data());
    if (n >= cur.size()) {
        cur.resize(n);
        n = ::GetCurrentDirectoryW(static_cast<DWORD>(cur.size()), cur.data());
    }
    cur.resize(n < cur.size() ? n : 0);
    return Widen(ExtendedLengthPath(utf8, Narrow(cur)));
}

}  // namespace kv::win
