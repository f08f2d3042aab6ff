#pragma once
// What the installer does about the package that gives Explorer's Windows 11
// menu its entry: PowerShell's own commands register it for the user with the
// install folder as its external location, and remove it. The paths reach
// PowerShell through its environment, never inside the script it parses.
#include <string>
#include <string_view>

namespace kv::shell {

// The package's identity name, as its manifest and korvello.exe's give it.
inline constexpr std::string_view kPackageName = "KorvelloLabs.Korvello";
// The package file the installer puts beside korvello.exe.
inline constexpr std::string_view kPackageFile = "korvello-shell.msix";
// The variables that carry the two paths to the registering script.
inline constexpr std::string_view kPackageVariable = "KORVELLO_PACKAGE";
inline constexpr std::string_view kFolderVariable = "KORVELLO_FOLDER";

// What a script says once it has found the package registered (or gone).
inline constexpr std::string_view kConfirmed = "KORVELLO-PACKAGE-CONFIRMED";

enum class PackageAction : unsigned char { Register, Unregister };

// The script PowerShell runs: a fixed text, whatever the folder.
std::string PackageScript(PackageAction action);

// The folder as the external location: an absolute local or UNC path of
// a folder, without the characters no file name holds; empty when it is not.
// Its last separator stays: the location is the folder itself.
std::string ExternalLocation(std::string_view installFolder);

// The line the installer's log gets: done (exit code 0 and the script's
// confirmation), or not, with PowerShell's reason (its output's last lines,
// joined and bounded) and what still works.
std::string PackageReport(PackageAction action, bool ran, unsigned long exitCode, std::string_view output);

}  // namespace kv::shell
