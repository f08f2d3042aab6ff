#pragma once
// A command line read back as CommandLineToArgvW documents it, written
// independently of the program's quoting so that each checks the other:
// - the program's name (the first argument) runs to the first blank or tab,
//   or, when it starts with a quote, to the next quote; no escapes;
// - then arguments are separated by blanks and tabs; a quote turns quoting
//   on and off; inside quotes, two quotes in a row give one quote and keep
//   quoting on;
// - 2n backslashes before a quote give n backslashes and the quote acts;
//   2n+1 give n backslashes and a literal quote; backslashes not before a
//   quote are literal.
#include <string>
#include <string_view>
#include <vector>

namespace kvtest {

inline std::vector<std::string> ArgvOf(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    std::string first;
    if (i < line.size() && line[i] == '"') {
        ++i;
        while (i < line.size() && line[i] != '"') first += line[i++];
        if (i < line.size()) ++i;
    } else {
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') first += line[i++];
    }
    args.push_back(first);
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size()) {
            const char c = line[i];
            if (!quoted && (c == ' ' || c == '\t')) break;
            if (c == '\\') {
                std::size_t n = 0;
                while (i < line.size() && line[i] == '\\') ++n, ++i;
                if (i < line.size() && line[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(n, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace kvtest
