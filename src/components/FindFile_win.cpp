// Listing one folder for TFindFile with FindFirstFileExW/FindNextFileW.
#include "components/FindFile.h"

#include <windows.h>
#include <shlwapi.h>

#include "win/handle.h"
#include "win/text.h"

namespace kv {

namespace detail {

// FindFirstFileExW refuses a plain path of MAX_PATH characters or more; the
// \\?\ form lifts that limit but skips the usual normalisation, so the path is
// made absolute first.
std::wstring ExtendedIfLong(const std::wstring& pattern) {
    if (pattern.size() < MAX_PATH || pattern.starts_with(LR"(\\?\)")) return pattern;
    const DWORD need = ::GetFullPathNameW(pattern.c_str(), 0, nullptr, nullptr);
    if (need == 0) return pattern;
    std::wstring full(need, L'\0');
    const DWORD got = ::GetFullPathNameW(pattern.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return pattern;
    full.resize(got);
    if (full.starts_with(LR"(\\.\)")) return pattern;
    if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

}  // namespace detail

namespace {

// The platform also matches patterns against generated 8.3 names, so "*.mp4"
// would take "clip.mp4x" (short name CLIP~1.MP4). The long name must match too.
// Lists of patterns (';') are left to the platform alone.
bool LongNameMatches(const wchar_t* name, const std::wstring& pattern) {
    return pattern.find(L';') != std::wstring::npos || ::PathMatchSpecW(name, pattern.c_str());
}

std::vector<FoundEntry> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<FoundEntry> entries;
    const std::wstring patternW = win::Widen(pattern);
    WIN32_FIND_DATAW fd{};
    // Basic info: the short names are not needed.
    const std::wstring query = detail::ExtendedIfLong(win::Widen(folder) + patternW);
    win::UniqueFind find(::FindFirstFileExW(query.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0));
    if (!find) return entries;
    do {
        if (LongNameMatches(fd.cFileName, patternW))
            entries.push_back(FoundEntry{win::Narrow(fd.cFileName), fd.dwFileAttributes});
    } while (::FindNextFileW(find.Get(), &fd));
    return entries;
}

}  // namespace

TFindFile::TFindFile(TComponent* owner) : TFindFile(owner, &ListFolder) {}

}  // namespace kv
