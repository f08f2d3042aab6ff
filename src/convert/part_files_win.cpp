#include "convert/part_files.h"

#include <windows.h>

#include <memory>

#include "app/runner_text.h"
#include "app/settings_win.h"
#include "win/error.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv {

namespace {

constexpr const char* kPartFoldersValue = "PartFolders";

std::uint64_t StartTimeOf(HANDLE process) {
    FILETIME created{}, unused{};
    if (!::GetProcessTimes(process, &created, &unused, &unused, &unused)) return 0;
    return (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

std::uint32_t OwnHost() {
    wchar_t name[256] = {};
    DWORD n = 256;
    if (!::GetComputerNameExW(ComputerNamePhysicalDnsFullyQualified, name, &n)) return HostTag("");
    return HostTag(win::Narrow(std::wstring_view(name, n)));
}

}  // namespace

PartTag OwnPartTag(std::int64_t jobId) {
    static const std::uint32_t host = OwnHost();
    static const std::uint64_t started = StartTimeOf(::GetCurrentProcess());
    return {host, static_cast<std::uint32_t>(::GetCurrentProcessId()), started, jobId};
}

bool PartWriterRuns(const PartTag& tag) {
    if (tag.host != OwnPartTag(0).host) return true;  // another PC's: its processes cannot be asked
    win::UniqueHandle p(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, tag.pid));
    if (!p) return ::GetLastError() != ERROR_INVALID_PARAMETER;            // refused: someone's process runs there
    if (::WaitForSingleObject(p.Get(), 0) == WAIT_OBJECT_0) return false;  // ended, its handle still held
    return StartTimeOf(p.Get()) == tag.started;
}

int SweepStaleParts(const std::string& folder) {
    const std::string base = WithoutTrailingSeparator(folder) + "\\";
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = win::FilePath(base + "*.korvello-part");
    const HANDLE search =
        ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return 0;
    const win::UniqueFind owner(search);
    int deleted = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string name = win::Narrow(found.cFileName);
        const std::optional<PartTag> tag = PartTagOf(name);
        if (!tag || PartWriterRuns(*tag)) continue;
        if (DeleteFileUtf8(base + name)) ++deleted;
    } while (::FindNextFileW(search, &found));
    return deleted;
}

void SweepStalePartsLater(std::vector<std::string> folders) {
    auto work = std::make_unique<std::vector<std::string>>(std::move(folders));
    const auto sweep = [](PVOID context) -> DWORD {
        const std::unique_ptr<std::vector<std::string>> owned(static_cast<std::vector<std::string>*>(context));
        for (const std::string& f : *owned)
            if (!f.empty()) GuardedStep([&] { SweepStaleParts(f); });
        return 0;
    };
    // A thread of the system's pool; ended with the process, what it leaves is found at the next start.
    if (::QueueUserWorkItem(sweep, work.get(), WT_EXECUTELONGFUNCTION)) (void)work.release();
}

std::vector<std::string> RememberedPartFolders() {
    const RegistryKey key(kSettingsKey, RegistryKey::Access::Read);
    const StoredValue v = key.ReadValue(kPartFoldersValue);
    return v.type == StoredValue::Type::String ? PartFoldersFrom(v.text) : std::vector<std::string>{};
}

void RememberPartFolder(const std::string& folder) {
    RegistryKey key(kSettingsKey);
    const StoredValue v = key.ReadValue(kPartFoldersValue);
    const std::string stored = v.type == StoredValue::Type::String ? v.text : std::string();
    const std::string next = WithPartFolder(stored, WithoutTrailingSeparator(folder));
    if (next != stored) key.WriteString(kPartFoldersValue, next);
}

}  // namespace kv
