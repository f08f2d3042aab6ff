// The installer's custom actions (korvello_shell.dll in the installer's
// Binary table): register the package after the files are in, remove it
// before they go. Each one writes its outcome into the installer's log and
// answers success: Explorer's classic entries work without the package.
#include <windows.h>

#include "app/process_runner_win.h"
#include "app/runner_text.h"
#include "shell/package_actions.h"
#include "win/file.h"
#include "win/system_library.h"
#include "win/text.h"

namespace {

using MSIHANDLE = unsigned long;
using kv::shell::PackageAction;

// A hanging PowerShell must not hold the installation for good.
constexpr DWORD kPowerShellLimitMs = 120000;
constexpr int kInstallMessageInfo = 0x04000000;  // INSTALLMESSAGE_INFO

// msi.dll's functions, looked up: the DLL is also Explorer's, which has no use for them.
struct Msi {
    using GetProperty = UINT(WINAPI*)(MSIHANDLE, LPCWSTR, LPWSTR, DWORD*);
    using CreateRecord = MSIHANDLE(WINAPI*)(UINT);
    using SetString = UINT(WINAPI*)(MSIHANDLE, UINT, LPCWSTR);
    using ProcessMessage = int(WINAPI*)(MSIHANDLE, int, MSIHANDLE);
    using CloseHandle = UINT(WINAPI*)(MSIHANDLE);
    GetProperty getProperty = kv::win::SystemFunction<GetProperty>(L"msi.dll", "MsiGetPropertyW");
    CreateRecord createRecord = kv::win::SystemFunction<CreateRecord>(L"msi.dll", "MsiCreateRecord");
    SetString setString = kv::win::SystemFunction<SetString>(L"msi.dll", "MsiRecordSetStringW");
    ProcessMessage processMessage = kv::win::SystemFunction<ProcessMessage>(L"msi.dll", "MsiProcessMessage");
    CloseHandle closeHandle = kv::win::SystemFunction<CloseHandle>(L"msi.dll", "MsiCloseHandle");
    [[nodiscard]] bool Usable() const {
        return getProperty && createRecord && setString && processMessage && closeHandle;
    }
};

std::string Property(const Msi& msi, MSIHANDLE install, const wchar_t* name) {
    DWORD size = 0;
    wchar_t probe[1] = {};
    if (msi.getProperty(install, name, probe, &size) != ERROR_MORE_DATA) return {};
    std::wstring value(size + 1, L'\0');
    size = static_cast<DWORD>(value.size());
    if (msi.getProperty(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size);
    return kv::win::Narrow(value);
}

void Log(const Msi& msi, MSIHANDLE install, const std::string& line) {
    const MSIHANDLE record = msi.createRecord(1);
    if (!record) return;
    // Field 0 is the template; "[1]" keeps the line's own brackets from being read as properties.
    msi.setString(record, 0, L"[1]");
    msi.setString(record, 1, kv::win::Widen(line).c_str());
    msi.processMessage(install, kInstallMessageInfo, record);
    msi.closeHandle(record);
}

// PowerShell writes redirected output in the console's code page.
std::string OemText(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > (1U << 24)) return {};
    const int n = ::MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return kv::win::Narrow(wide);
}

std::wstring TempFile() {
    wchar_t folder[MAX_PATH + 1] = {}, file[MAX_PATH + 1] = {};
    if (!::GetTempPathW(MAX_PATH + 1, folder) || !::GetTempFileNameW(folder, L"kvp", 0, file)) return {};
    return file;
}

std::string PowerShell() {
    wchar_t system[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return {};
    return kv::win::Narrow(system) + "\\WindowsPowerShell\\v1.0\\powershell.exe";
}

// Runs the action's script; its output, errors included, comes back in `output`.
std::string RunScript(PackageAction action, const std::string& folder) {
    const std::wstring outputFile = TempFile();
    const std::string package = folder + std::string(kv::shell::kPackageFile);
    ::SetEnvironmentVariableW(kv::win::Widen(kv::shell::kPackageVariable).c_str(), kv::win::Widen(package).c_str());
    ::SetEnvironmentVariableW(kv::win::Widen(kv::shell::kFolderVariable).c_str(), kv::win::Widen(folder).c_str());
    kv::LaunchOptions options;
    options.program = PowerShell();
    options.arguments = {"-NoLogo",
                         "-NoProfile",
                         "-NonInteractive",
                         "-ExecutionPolicy",
                         "Bypass",
                         "-Command",
                         kv::shell::PackageScript(action)};
    // A console of its own, hidden: PowerShell's host fails without one.
    options.show = SW_HIDE;
    options.console = true;
    options.inJob = true;
    options.wait = true;
    options.timeLimitMs = kPowerShellLimitMs;
    options.outputFile = kv::win::Narrow(outputFile);
    const kv::LaunchResult result = outputFile.empty() ? kv::LaunchResult{} : kv::Launch(options);
    const DWORD code = result.outcome == kv::LaunchResult::Outcome::Ended ? result.exitCode : 1;
    std::string output =
        outputFile.empty() ? std::string() : OemText(kv::win::ReadWholeFile(kv::win::Narrow(outputFile)).value_or(""));
    if (!outputFile.empty()) ::DeleteFileW(outputFile.c_str());
    if (result.outcome == kv::LaunchResult::Outcome::TimedOut) output += "\nPowerShell did not finish in time.";
    return kv::shell::PackageReport(action, result.Ran(), code, output);
}

UINT Act(MSIHANDLE install, PackageAction action) noexcept {
    try {
        const Msi msi;
        if (!msi.Usable()) return ERROR_SUCCESS;
        // Removing goes by the package's name: it needs no folder, so a strange one never keeps it.
        const std::string folder = kv::shell::ExternalLocation(Property(msi, install, L"INSTALLDIR"));
        if (folder.empty() && action == PackageAction::Register)
            Log(msi, install, "Korvello: the install folder is no plain folder path; the package is not registered.");
        else
            Log(msi, install, RunScript(action, folder));
    } catch (const std::exception&) {
        return ERROR_SUCCESS;  // the classic entries stay; the installation goes on
    }
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

__declspec(dllexport) UINT __stdcall RegisterExplorerPackage(MSIHANDLE install) {
    return Act(install, PackageAction::Register);
}

__declspec(dllexport) UINT __stdcall UnregisterExplorerPackage(MSIHANDLE install) {
    return Act(install, PackageAction::Unregister);
}

}  // extern "C"
