#include "win/long_path.h"

#include <vector>

#include "win/utf8.h"

namespace kv {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveAbsolute(std::string_view p) {
    return p.size() >= 3 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
           IsSeparator(p[2]);
}

bool IsUnc(std::string_view p) { return p.size() >= 3 && IsSeparator(p[0]) && IsSeparator(p[1]) && !IsSeparator(p[2]); }

// "\\server\share\..." names both, neither of them empty once the clean-up
// below has taken its trailing dots and blanks (so no "." or "..").
bool HasServerAndShare(std::string_view p) {
    std::size_t at = 2;
    for (int k = 0; k < 2; ++k) {
        if (at > p.size()) return false;
        std::size_t end = at;
        while (end < p.size() && !IsSeparator(p[end])) ++end;
        std::string_view part = p.substr(at, end - at);
        // The clean-up drops trailing dots and blanks: "...." would vanish
        // and let the next part stand in for the share.
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
        if (part.empty()) return false;
        at = end + 1;
    }
    return true;
}

// The parts after the root, cleaned as the system cleans a path: empty and "."
// parts dropped, ".." taking away the part before it (never the root's), and
// trailing dots and blanks removed.
std::vector<std::string> CleanParts(std::string_view rest, std::size_t keep) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = i;
        while (j < rest.size() && !IsSeparator(rest[j])) ++j;
        std::string part(rest.substr(i, j - i));
        i = j + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (parts.size() > keep) parts.pop_back();
            continue;
        }
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (!part.empty()) parts.push_back(std::move(part));
    }
    return parts;
}

std::string Join(std::string root, const std::vector<std::string>& parts, bool trailingSeparator) {
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k) root += '\\';
        root += parts[k];
    }
    if (trailingSeparator && !parts.empty()) root += '\\';
    return root;
}

}  // namespace

std::string ExtendedLengthPath(std::string_view path, std::string_view currentDir, PathFor use) {
    if (Utf16Length(path) < LongPathFrom(use)) return std::string(path);
    if (path.starts_with(R"(\\?\)") || path.starts_with(R"(\\.\)") || path.starts_with("//?/") ||
        path.starts_with("//./"))
        return std::string(path);
    std::string full;
    if (IsDriveAbsolute(path) || IsUnc(path)) {
        full = std::string(path);
    } else if (!currentDir.empty() &&
               (IsDriveAbsolute(currentDir) || (IsUnc(currentDir) && HasServerAndShare(currentDir))) && !path.empty() &&
               !IsSeparator(path[0]) && !(path.size() >= 2 && path[1] == ':')) {
        full = std::string(currentDir);
        if (!IsSeparator(full.back())) full += '\\';
        full += path;
    } else {
        return std::string(path);  // rooted at the current drive or drive-relative: left to the system
    }
    const bool trailing = IsSeparator(full.back());
    if (IsUnc(full)) {
        if (!HasServerAndShare(full)) return std::string(path);  // no root to keep: left to the system
        // \\server\share stays the root: ".." never climbs above the share.
        std::vector<std::string> parts = CleanParts(std::string_view(full).substr(2), 2);
        return Join(R"(\\?\UNC\)", parts, trailing);
    }
    std::string root = R"(\\?\)";
    root += full.substr(0, 2);
    root += '\\';
    return Join(root, CleanParts(std::string_view(full).substr(3), 0), trailing);
}

}  // namespace kv
