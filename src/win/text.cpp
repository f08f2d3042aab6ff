#include "win/text.h"

#include <windows.h>

#include "win/utf8.h"

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

std::wstring FilePath(std::string_view utf8, PathFor use) {
    if (Utf16Length(utf8) < LongPathFrom(use)) return Widen(utf8);
    std::wstring cur(MAX_PATH, L'\0');
    DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(cur.size()), cur.data());
    if (n >= cur.size()) {
        cur.resize(n);
        n = ::GetCurrentDirectoryW(static_cast<DWORD>(cur.size()), cur.data());
    }
    cur.resize(n < cur.size() ? n : 0);
    return Widen(ExtendedLengthPath(utf8, Narrow(cur), use));
}

std::string SystemErrorText(unsigned long code) {
    wchar_t* buf = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
    std::string text = n ? TrimText(Narrow(std::wstring_view(buf, n))) : std::string();
    if (buf) ::LocalFree(buf);
    return text.empty() ? "Error " + std::to_string(code) : text;
}

bool SameTextAnyCase(std::wstring_view a, std::wstring_view b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();  // a view of nothing may point nowhere
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace kv::win
