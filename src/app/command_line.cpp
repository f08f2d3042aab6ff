#include "app/command_line.h"

#include "win/utf8.h"

namespace kv {

CommandLine ParseCommandLine(const std::vector<std::string>& params) {
    CommandLine line;
    for (const auto& p : params) {
        if (SameTextAscii(p, kConvertSwitch))
            line.convert = true;
        else
            line.paths.push_back(p);
    }
    return line;
}

}  // namespace kv
