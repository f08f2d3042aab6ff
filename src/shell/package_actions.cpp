#include "shell/package_actions.h"

#include <algorithm>

namespace kv::shell {
namespace {

// The reason's share of a log line: PowerShell's errors run long.
constexpr std::size_t kReasonLimit = 1500;

std::string Trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

// The output's lines without blanks and PowerShell's frame lines ("At line:1
// char:..", "+ ..."), joined with a space, the last kReasonLimit bytes kept.
std::string Reason(std::string_view output) {
    std::string joined;
    std::size_t at = 0;
    while (at <= output.size()) {
        const auto end = std::min(output.find('\n', at), output.size());
        const std::string line = Trimmed(output.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line == kConfirmed || line.starts_with("At line:") || line.starts_with("+")) continue;
        if (!joined.empty()) joined += ' ';
        // One line in the log, whatever the output held.
        for (const char c : line) joined += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    if (joined.size() <= kReasonLimit) return joined;
    // From the first whole word of the last kReasonLimit bytes.
    const auto space = joined.find(' ', joined.size() - kReasonLimit);
    return space == std::string::npos ? joined : "..." + joined.substr(space + 1);
}

}  // namespace

// Stops at the first error; no progress bar, which needs a console to draw in.
constexpr std::string_view kQuiet = "$ErrorActionPreference = 'Stop'; $ProgressPreference = 'SilentlyContinue'; ";

// Each script ends by looking the package up and saying what it found: an
// exit code of 0 alone is no proof (a stand-in PowerShell gives 0 and does nothing).
std::string PackageScript(PackageAction action) {
    const std::string name = "'" + std::string(kPackageName) + "'";
    if (action == PackageAction::Register)
        return std::string(kQuiet) + "Add-AppxPackage -Path $env:" + std::string(kPackageVariable) +
               " -ExternalLocation $env:" + std::string(kFolderVariable) +
               " -ForceApplicationShutdown; if (Get-AppxPackage -Name " + name + ") { '" + std::string(kConfirmed) +
               "' }";
    return std::string(kQuiet) + "Get-AppxPackage -Name " + name +
           " | Remove-AppxPackage; if (-not (Get-AppxPackage -Name " + name + ")) { '" + std::string(kConfirmed) +
           "' }";
}

std::string ExternalLocation(std::string_view installFolder) {
    const std::string folder = Trimmed(installFolder);
    const bool drive = folder.size() >= 3 && ((folder[0] | 0x20) >= 'a' && (folder[0] | 0x20) <= 'z') &&
                       folder[1] == ':' && folder[2] == '\\';
    const bool unc = folder.size() >= 3 && folder.starts_with("\\\\") && folder[2] != '\\' && folder[2] != '?';
    if (!drive && !unc) return {};
    for (const char c : folder.substr(2))
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\"<>|?*:/").find(c) != std::string_view::npos)
            return {};
    return folder.ends_with('\\') ? folder : folder + '\\';
}

std::string PackageReport(PackageAction action, bool ran, unsigned long exitCode, std::string_view output) {
    const bool adding = action == PackageAction::Register;
    const bool confirmed = output.find(kConfirmed) != std::string_view::npos;
    if (ran && exitCode == 0 && confirmed)
        return adding ? "Korvello: Explorer's Windows 11 menu entry is registered."
                      : "Korvello: Explorer's Windows 11 menu entry is removed.";
    std::string line = adding ? "Korvello: Explorer's Windows 11 menu entry was not registered"
                              : "Korvello: Explorer's Windows 11 menu entry could not be removed";
    if (!ran)
        line += " (PowerShell could not be run)";
    else if (exitCode != 0)
        line += " (PowerShell's exit code " + std::to_string(exitCode) + ")";
    else
        line += " (PowerShell ended without finding the package as asked)";
    std::string reason = Reason(output);
    while (reason.ends_with('.')) reason.pop_back();  // the line goes on with its own full stop
    if (!reason.empty()) line += ": " + reason;
    line += adding ? ". The classic entries under \"Show more options\" serve instead; the installation goes on."
                   : ". The rest is removed as usual.";
    return line;
}

}  // namespace kv::shell
