#include "app/runner_text.h"

#include <limits>

#include <cctype>

#include "win/error.h"
#include "win/utf8.h"

namespace kv {

std::optional<std::string> BuildCommandLine(std::string_view program, std::string_view params) {
    if (program.empty()) return std::nullopt;
    for (char c : program)
        if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    // The program's name is read up to the next quote, without escapes: a
    // quote can only stand at both ends.
    const bool quotedWhole = program.size() >= 2 && program.front() == '"' && program.back() == '"';
    const std::string_view inner = quotedWhole ? program.substr(1, program.size() - 2) : program;
    if (inner.empty() || inner.find('"') != std::string_view::npos) return std::nullopt;
    std::string line;
    const bool quote = quotedWhole || inner.find_first_of(" \t") != std::string_view::npos;
    if (quote) line += '"';
    line += inner;
    if (quote) line += '"';
    line += ' ';
    line += params;
    return line;
}

std::string QuoteAlways(std::string_view arg) {
    std::string out = "\"";
    std::size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');  // before the closing quote
    out += '"';
    return out;
}

std::string QuoteArgument(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos) return std::string(arg);
    return QuoteAlways(arg);
}

std::string FolderPart(std::string_view path) {
    const auto cut = path.find_last_of("\\:");
    if (cut == std::string_view::npos) return {};
    std::string dir(path.substr(0, cut + 1));
    if (dir.size() >= 2 && dir.back() == '\\') {
        const char before = dir[dir.size() - 2];
        if (before != ':' && before != '\\') dir.pop_back();
    }
    return dir;
}

std::string LocateProgram(std::string_view exeName, std::string_view pathList, std::string_view currentDir,
                          const std::function<bool(const std::string&)>& exists) {
    std::string found;
    if (exists(std::string(exeName))) {
        found = std::string(exeName);
    } else {
        std::size_t start = 0;
        while (start <= pathList.size()) {
            auto end = pathList.find(';', start);
            if (end == std::string_view::npos) end = pathList.size();
            std::string dir(pathList.substr(start, end - start));
            start = end + 1;
            if (dir.empty()) continue;
            if (dir.back() != '\\' && dir.back() != ':') dir += '\\';
            std::string candidate = dir + std::string(exeName);
            if (exists(candidate)) {
                found = candidate;
                break;
            }
        }
    }
    if (!found.empty() && SameTextAscii(found, exeName)) {
        std::string cur(currentDir);
        if (!cur.empty() && cur.back() == '\\') cur.pop_back();
        found = cur + "\\" + found;
    }
    return found;
}

std::string NamePart(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return std::string(name);
    return std::string(name.substr(0, dot));
}

std::string FileNamePart(std::string_view path) {
    const auto cut = path.find_last_of("\\/:");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string CollapseDoubleBackslashes(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    std::size_t i = 0;
    // A server path (a redirected Documents folder: \\server\share\...) keeps
    // the two backslashes it starts with; collapsed, it would name a folder on
    // the current drive.
    if (path.starts_with(R"(\\)") && !path.starts_with(R"(\\\)")) {
        out = R"(\\)";
        i = 2;
    }
    for (; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size() && path[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else {
            out += path[i];
        }
    }
    return out;
}

namespace {

class TimeScanner {
public:
    explicit TimeScanner(std::string_view t) : t_(t) {}

    void SkipBlanks() {
        while (p_ < t_.size() && t_[p_] == ' ') ++p_;
    }
    bool AtEnd() const { return p_ >= t_.size(); }
    bool Char(char c) {
        SkipBlanks();
        if (p_ < t_.size() && t_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    // Up to 9 digits, so the value cannot overflow; longer numbers are invalid anyway.
    std::optional<int> Number() {
        SkipBlanks();
        std::size_t n = 0;
        int v = 0;
        while (p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_]))) {
            if (++n > 9) return std::nullopt;
            v = v * 10 + (t_[p_] - '0');
            ++p_;
        }
        if (n == 0) return std::nullopt;
        return v;
    }
    // 0 none, 1 AM, 2 PM
    int Marker() {
        SkipBlanks();
        if (t_.size() - p_ >= 2) {
            std::string two = UpperAscii(t_.substr(p_, 2));
            if (two == "AM" || two == "PM") {
                p_ += 2;
                return two == "AM" ? 1 : 2;
            }
        }
        return 0;
    }

private:
    std::string_view t_;
    std::size_t p_ = 0;
};

}  // namespace

int TimeTextToSeconds(std::string_view text) {
    auto invalid = [&]() { return Error("'" + std::string(text) + "' is not a valid time"); };
    TimeScanner s(text);
    int marker = s.Marker();
    const bool markerFirst = marker != 0;
    auto h = s.Number();
    if (!h) throw invalid();
    int m = 0, sec = 0, ms = 0;
    if (s.Char(':')) {
        auto v = s.Number();
        if (!v) throw invalid();
        m = *v;
        if (s.Char(':')) {
            auto w = s.Number();
            if (!w) throw invalid();
            sec = *w;
            if (s.Char('.')) {
                auto x = s.Number();
                if (!x) throw invalid();
                ms = *x;
            }
        }
    }
    if (!markerFirst) marker = s.Marker();
    s.SkipBlanks();
    if (!s.AtEnd()) throw invalid();
    int hours = *h;
    if (marker != 0) {
        if (hours < 1 || hours > 12) throw invalid();
        if (hours == 12) hours = 0;
        if (marker == 2) hours += 12;
    }
    // A duration counts its hours on (the media reader writes "25:00:00.128"
    // for a day and an hour); only a clock time with AM or PM stops at 12.
    // The bound keeps the seconds, plus one, within an int.
    constexpr int kMaxHours = (std::numeric_limits<int>::max() - 3600) / 3600;
    if (hours > kMaxHours || m >= 60 || sec >= 60 || ms >= 1000) throw invalid();
    return hours * 3600 + m * 60 + sec;
}

std::string CollectParameters(const std::vector<std::string>& params) {
    std::string text;
    for (const auto& p : params) {
        text += p;
        text += ' ';
        if (UpperAscii(text).find(".EXE") != std::string::npos) text.clear();
    }
    return text;
}

bool IsBatchFile(std::string_view program) {
    if (program.size() < 4) return false;
    const std::string_view ext = program.substr(program.size() - 4);
    return SameTextAscii(ext, ".bat") || SameTextAscii(ext, ".cmd");
}

std::string ProbeBatchName(int slot) { return slot == 0 ? "open.bat" : "open" + std::to_string(slot + 1) + ".bat"; }

std::string ProbeAnswerName(int slot) {
    return slot == 0 ? "duration_time.txt" : "duration_time" + std::to_string(slot + 1) + ".txt";
}

}  // namespace kv
