// Explorer's Windows 11 entry and its installer actions: any selection gives
// lines within the limit that the program reads back as the switch and
// exactly the paths, in order; any install folder is a plain folder or
// refused; any PowerShell output makes one bounded log line.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_util.h"
#include "shell/explorer_selection.h"
#include "shell/package_actions.h"
#include "support/argv_rules.h"

namespace {

// A small limit makes the splitting happen on short inputs too.
void SelectionComesBack(const std::vector<std::string>& paths, std::size_t limit) {
    const std::string exe = "C:\\Programs\\Korvello\\korvello.exe";
    std::vector<std::string> back;
    for (const auto& line : kv::shell::ConvertCommandLines(exe, paths, limit)) {
        kvfuzz::Require(kv::shell::Utf16Length(line) <= limit, "each line within the limit", line);
        std::vector<std::string> argv = kvtest::ArgvOf(line);
        kvfuzz::Require(argv.size() >= 3 && argv[0] == exe && argv[1] == "/convert", "program, switch, paths", line);
        back.insert(back.end(), argv.begin() + 2, argv.end());
        argv.erase(argv.begin());
        kvfuzz::Require(kv::ParseCommandLine(argv).convert, "the program sees the switch", line);
    }
    // Splitting keeps exactly the paths that fit a line of their own, in order.
    std::vector<std::string> fitting;
    for (const auto& p : paths)
        if (!kv::shell::ConvertCommandLines(exe, std::vector<std::string>{p}, limit).empty()) fitting.push_back(p);
    kvfuzz::Require(back == fitting, "exactly the paths that fit, in order");
}

void LocationIsPlainOrRefused(const std::string& folder) {
    const std::string location = kv::shell::ExternalLocation(folder);
    if (location.empty()) return;
    kvfuzz::Require(location.ends_with('\\') && location.size() >= 3, "a folder with its separator", location);
    for (const char c : location.substr(2))
        kvfuzz::Require(
            static_cast<unsigned char>(c) >= 0x20 && std::string_view("\"<>|?*:/").find(c) == std::string_view::npos,
            "no character a path cannot hold", location);
}

void ReportIsOneBoundedLine(const std::string& output, unsigned long code) {
    for (const auto action : {kv::shell::PackageAction::Register, kv::shell::PackageAction::Unregister}) {
        const std::string line = kv::shell::PackageReport(action, (code & 1U) != 0, code >> 1U, output);
        kvfuzz::Require(line.starts_with("Korvello: ") && line.size() < 1800, "a bounded line of ours", line);
        for (const char c : line) kvfuzz::Require(static_cast<unsigned char>(c) >= 0x20, "one line", line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = kvfuzz::Text(data, size);
    const std::vector<std::string> parts = kvfuzz::SplitAtZeros(text);
    const std::size_t limit = 40 + (size > 0 ? data[0] : 0U) * 4;
    SelectionComesBack(parts, limit);
    SelectionComesBack(parts, kv::shell::kMaxCommandLine);
    LocationIsPlainOrRefused(parts[0]);
    ReportIsOneBoundedLine(text, size > 1 ? data[1] : 0U);
    return 0;
}
