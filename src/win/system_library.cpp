#include "win/system_library.h"

#include <string>

namespace kv::win {

namespace {

// Not declared for the Windows 7 headers; present wherever KB2533623 is, as on every supported system.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    return n == 0 || n > MAX_PATH ? std::wstring() : std::wstring(folder, n);
}

}  // namespace

// DLLs that are not known DLLs and that the system's own DLLs (the common
// controls, the shell, the file dialog) load by name later, some through
// delay-load stubs that do not honour the default directories everywhere.
// Loaded first from the system folder, a later load by name finds them loaded.
constexpr const wchar_t* kLoadedByNameLater[] = {L"uxtheme.dll", L"dwmapi.dll",  L"propsys.dll", L"cryptbase.dll",
                                                 L"oleacc.dll",  L"version.dll", L"winmm.dll",   L"userenv.dll",
                                                 L"profapi.dll", L"ntmarta.dll", L"apphelp.dll", L"edputil.dll"};

void LoadDllsFromSystemOnly() noexcept {
    ::SetDllDirectoryW(L"");  // the current folder is out of the search
    const auto set = SystemFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (set) set(kSearchSystem32);
    // Held for the life of the process; one the system lacks is simply not there.
    for (const wchar_t* name : kLoadedByNameLater) (void)SystemLibrary(name);
}

HMODULE SystemLibrary(const wchar_t* name) noexcept {
    // By its full path: whatever the search order, only the system folder's file can answer.
    const std::wstring folder = SystemFolder();
    if (folder.empty()) return nullptr;
    const std::wstring path = folder + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace kv::win
