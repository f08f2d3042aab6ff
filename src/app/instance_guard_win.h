#pragma once
// What keeps another program from posing as the first copy: the mutex lives in
// a private namespace bound to the user's SID and integrity level, which a
// process of lower integrity can neither create nor open; and a later copy
// hands its files only to a window whose process runs a Korvello executable
// at an integrity level not below its own.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

class InstanceNamespace {
public:
    // `fallback`: the mutex's name where the system offers no private namespace.
    explicit InstanceNamespace(std::wstring fallback);
    ~InstanceNamespace();
    InstanceNamespace(const InstanceNamespace&) = delete;
    InstanceNamespace& operator=(const InstanceNamespace&) = delete;
    [[nodiscard]] const std::wstring& MutexName() const noexcept { return mutexName_; }
    [[nodiscard]] bool Private() const noexcept { return space_ != nullptr; }

private:
    HANDLE boundary_ = nullptr;
    HANDLE space_ = nullptr;
    std::wstring mutexName_;
};

// A process's mandatory integrity level (SECURITY_MANDATORY_*_RID); nothing when it cannot be read.
std::optional<std::uint32_t> IntegrityLevelOf(HANDLE process);

// Whether the window's process runs korvello.exe, or the very program this
// process runs, at an integrity level not below this process's.
bool RunsKorvello(HWND window);

}  // namespace kv
