// The installer's package actions: the folder that may become the package's
// external location, the scripts that never carry a path, and the log line.
#include "shell/package_actions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kv::shell::ExternalLocation;
using kv::shell::PackageAction;
using kv::shell::PackageReport;

TEST(PackageActions, OnlyPlainAbsoluteFoldersBecomeTheExternalLocation) {
    EXPECT_EQ(ExternalLocation("C:\\Users\\Ann\\AppData\\Local\\Programs\\Korvello\\"),
              "C:\\Users\\Ann\\AppData\\Local\\Programs\\Korvello\\");
    EXPECT_EQ(ExternalLocation("d:\\Apps\\Korvello"), "d:\\Apps\\Korvello\\");
    EXPECT_EQ(ExternalLocation("\\\\server\\apps\\Korvello\\"), "\\\\server\\apps\\Korvello\\");
    EXPECT_EQ(ExternalLocation("  C:\\K\\ "), "C:\\K\\");
    for (const char* bad : {"", "Korvello", "C:", "C:K", "\\\\?\\C:\\K", "\\\\\\x", "C:\\K\"; rm", "C:\\a|b",
                            "C:\\a\nb", "C:\\a*", "C:\\a:b", "1:\\K", "C:/K"})
        EXPECT_EQ(ExternalLocation(bad), "") << bad;
}

TEST(PackageActions, TheScriptsAreFixedAndTakePathsFromTheEnvironment) {
    const std::string add = kv::shell::PackageScript(PackageAction::Register);
    EXPECT_NE(add.find("Add-AppxPackage -Path $env:KORVELLO_PACKAGE -ExternalLocation $env:KORVELLO_FOLDER"),
              std::string::npos);
    EXPECT_EQ(add.find('"'), std::string::npos);  // it travels as one quoted argument
    // No progress bar to draw, and the surrogate holding the old DLL is ended rather than waited on.
    EXPECT_TRUE(add.starts_with("$ErrorActionPreference = 'Stop'; $ProgressPreference = 'SilentlyContinue'; "));
    EXPECT_NE(add.find("-ExternalLocation $env:KORVELLO_FOLDER -ForceApplicationShutdown;"), std::string::npos);
    EXPECT_NE(add.find("if (Get-AppxPackage -Name 'KorvelloLabs.Korvello') { 'KORVELLO-PACKAGE-CONFIRMED' }"),
              std::string::npos);
    const std::string remove = kv::shell::PackageScript(PackageAction::Unregister);
    EXPECT_NE(remove.find("if (-not (Get-AppxPackage -Name 'KorvelloLabs.Korvello')) { 'KORVELLO-PACKAGE-CONFIRMED' }"),
              std::string::npos);
    EXPECT_NE(remove.find("Get-AppxPackage -Name 'KorvelloLabs.Korvello' | Remove-AppxPackage"), std::string::npos);
    EXPECT_EQ(remove.find('"'), std::string::npos);
}

TEST(PackageActions, TheLogSaysWhatHappenedAndWhy) {
    EXPECT_EQ(PackageReport(PackageAction::Register, true, 0, "KORVELLO-PACKAGE-CONFIRMED\r\n"),
              "Korvello: Explorer's Windows 11 menu entry is registered.");
    EXPECT_EQ(PackageReport(PackageAction::Unregister, true, 0, "KORVELLO-PACKAGE-CONFIRMED"),
              "Korvello: Explorer's Windows 11 menu entry is removed.");
    // Exit code 0 without the script's word (a stand-in PowerShell that does nothing) is no success.
    EXPECT_EQ(PackageReport(PackageAction::Register, true, 0, ""),
              "Korvello: Explorer's Windows 11 menu entry was not registered (PowerShell ended without finding the "
              "package as asked). The classic entries under \"Show more options\" serve instead; the installation "
              "goes on.");
    EXPECT_NE(PackageReport(PackageAction::Unregister, true, 0, "").find("could not be removed (PowerShell ended"),
              std::string::npos);
    // Nor is the word with a failing exit code.
    EXPECT_NE(PackageReport(PackageAction::Register, true, 1, "KORVELLO-PACKAGE-CONFIRMED").find("exit code 1"),
              std::string::npos);
    const std::string untrusted = PackageReport(
        PackageAction::Register, true, 1,
        "Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109, A certificate chain processed, but\r\n"
        "terminated in a root certificate which is not trusted.\r\n"
        "At line:1 char:35\r\n+ ... Add-AppxPackage -Path $env:KORVELLO_PACKAGE\r\n\r\n");
    EXPECT_EQ(untrusted,
              "Korvello: Explorer's Windows 11 menu entry was not registered (PowerShell's exit code 1): "
              "Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109, A certificate chain processed, but "
              "terminated in a root certificate which is not trusted. The classic entries under \"Show more "
              "options\" serve instead; the installation goes on.");
    const std::string missing = PackageReport(PackageAction::Register, false, 0, "");
    EXPECT_NE(missing.find("(PowerShell could not be run). The classic entries"), std::string::npos);
    const std::string kept = PackageReport(PackageAction::Unregister, true, 5, "x");
    EXPECT_NE(kept.find("could not be removed (PowerShell's exit code 5): x. The rest is removed"), std::string::npos);
}

TEST(PackageActions, ALongReasonKeepsItsEndWithinBounds) {
    std::string output;
    for (int i = 0; i < 400; ++i) output += "line " + std::to_string(i) + " é\n";
    const std::string line = PackageReport(PackageAction::Register, true, 2, output);
    EXPECT_LT(line.size(), 1700U);
    EXPECT_NE(line.find("...line"), std::string::npos);
    EXPECT_NE(line.find("line 399 é. The classic"), std::string::npos);
}

}  // namespace
