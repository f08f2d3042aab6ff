// Listing one folder for TFindFile with FindFirstFileExW/FindNextFileW.
#include "components/FindFile.h"

#include <windows.h>
#include <shlwapi.h>

#include "win/handle.h"
#include "win/text.h"

namespace kv {

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
    // Basic info: the short names are not needed. The pattern is a path for
    // FindFirstFileExW, whose plain form ends at MAX_PATH.
    const std::wstring query = win::FilePath(folder + pattern, PathFor::File);
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
