#pragma once
// Windows 11's own menu entry, "Convert to MP3 with Korvello": Explorer asks
// an IExplorerCommand for its title, icon and state, and hands it the whole
// selection on Invoke, which starts korvello.exe once with every path.
// Explorer runs it in a surrogate process; still, nothing here may throw
// into the caller, and an object keeps nothing but what it was made with.
#include <windows.h>
#include <shobjidl.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace kv::shell {

// {4CF52BC8-7AAD-4967-93AE-F2900BB5F436}: the class the package names.
inline constexpr CLSID kConvertCommandClsid = {
    0x4cf52bc8, 0x7aad, 0x4967, {0x93, 0xae, 0xf2, 0x90, 0x0b, 0xb5, 0xf4, 0x36}};

// Starts one process by its command line; false when it could not be started.
using Launcher = std::function<bool(const std::wstring& exe, const std::wstring& commandLine)>;
// The real one: CreateProcess in the program's folder, at once let come forward.
bool StartProcess(const std::wstring& exe, const std::wstring& commandLine);

// The folder korvello.exe is in: the one this module was loaded from.
std::wstring ProgramFolder();

class ConvertCommand final : public IExplorerCommand {
public:
    ConvertCommand(std::wstring folder, Launcher launch);
    ConvertCommand(const ConvertCommand&) = delete;
    ConvertCommand& operator=(const ConvertCommand&) = delete;

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID riid, void** out) noexcept override;
    IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
    IFACEMETHODIMP_(ULONG) Release() noexcept override;
    // IExplorerCommand
    IFACEMETHODIMP GetTitle(IShellItemArray* items, LPWSTR* name) noexcept override;
    IFACEMETHODIMP GetIcon(IShellItemArray* items, LPWSTR* icon) noexcept override;
    IFACEMETHODIMP GetToolTip(IShellItemArray* items, LPWSTR* tip) noexcept override;
    IFACEMETHODIMP GetCanonicalName(GUID* name) noexcept override;
    IFACEMETHODIMP GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) noexcept override;
    IFACEMETHODIMP Invoke(IShellItemArray* items, IBindCtx* bind) noexcept override;
    IFACEMETHODIMP GetFlags(EXPCMDFLAGS* flags) noexcept override;
    IFACEMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) noexcept override;

private:
    ~ConvertCommand();
    [[nodiscard]] std::wstring ExePath() const;

    std::atomic<ULONG> refs_{1};
    std::wstring folder_;
    Launcher launch_;
};

// The entry's title in the user's language: the Language choice, else the
// first display language the program has a table for, read from
// korvello.exe's own string table; English when that cannot be read.
std::wstring EntryTitle(const std::wstring& exePath);

// File-system paths of a selection (UTF-8); items without one are left out.
std::vector<std::string> SelectionPaths(IShellItemArray* items);

// Objects alive, for DllCanUnloadNow.
std::atomic<long>& LiveObjects();

}  // namespace kv::shell
