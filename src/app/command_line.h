#pragma once
// The program's parameters: paths of MP4 files and folders, and one switch.
// "/convert" asks the program to convert the files as soon as they are in
// (Explorer's menu entries start the program so, one copy per selected item).
// Any other parameter is a path and goes through the border check later.
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr std::string_view kConvertSwitch = "/convert";

struct CommandLine {
    std::vector<std::string> paths;
    bool convert = false;
};

// The switch may stand anywhere and in any case; repeated, it counts once.
CommandLine ParseCommandLine(const std::vector<std::string>& params);

}  // namespace kv
