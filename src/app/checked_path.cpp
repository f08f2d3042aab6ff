#include "app/checked_path.h"

#include <array>

#include "win/utf8.h"

namespace kv {

namespace {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (s.size() - i <= n) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3Fu);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsDriveRoot(std::string_view p) { return p.size() >= 3 && IsDriveLetter(p[0]) && p[1] == ':' && p[2] == '\\'; }

// Names the system keeps for devices, with or without an extension.
bool IsDeviceName(std::string_view part) {
    std::string base(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static constexpr std::array<std::string_view, 6> kPlain{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view d : kPlain)
        if (SameTextAscii(base, d)) return true;
    if (base.size() < 4 || !(SameTextAscii(base.substr(0, 3), "COM") || SameTextAscii(base.substr(0, 3), "LPT")))
        return false;
    // A digit, or a superscript one, two or three (also devices).
    const std::string_view n = std::string_view(base).substr(3);
    return (n.size() == 1 && n[0] >= '0' && n[0] <= '9') || n == "\xC2\xB9" || n == "\xC2\xB2" || n == "\xC2\xB3";
}

const char* PartProblem(std::string_view part, std::size_t maxComponent) {
    if (part.empty()) return "an empty part";
    if (part == "." || part == "..") return "a relative part";
    for (char ch : part) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20) return "a control character";
        if (std::string_view("\"<>|*?:/").find(ch) != std::string_view::npos) return "a character no name may hold";
    }
    if (part.back() == '.' || part.back() == ' ') return "a part ending in a dot or a blank";
    if (Utf16Length(part) > maxComponent) return "a part longer than the file system takes";
    if (IsDeviceName(part)) return "a device name";
    return nullptr;
}

// The parts after the root: "a\b\c", with one final "\" allowed.
const char* PartsProblem(std::string_view rest, std::size_t maxComponent) {
    if (rest.ends_with('\\')) rest.remove_suffix(1);
    if (rest.empty()) return nullptr;
    std::size_t from = 0;
    for (;;) {
        const std::size_t cut = rest.find('\\', from);
        const std::string_view part = rest.substr(from, cut == std::string_view::npos ? rest.npos : cut - from);
        if (const char* why = PartProblem(part, maxComponent)) return why;
        if (cut == std::string_view::npos) return nullptr;
        from = cut + 1;
    }
}

// "server\share" and what follows it.
const char* UncProblem(std::string_view p, std::size_t maxComponent) {
    const std::size_t a = p.find('\\');
    const std::size_t b = a == std::string_view::npos ? a : p.find('\\', a + 1);
    const std::string_view server = p.substr(0, a);
    const std::string_view share = a == std::string_view::npos ? std::string_view() : p.substr(a + 1, b - a - 1);
    if (const char* why = PartProblem(server, maxComponent)) return why;
    if (const char* why = PartProblem(share, maxComponent)) return why;
    return b == std::string_view::npos ? nullptr : PartsProblem(p.substr(b + 1), maxComponent);
}

}  // namespace

const char* PathSyntaxProblem(std::string_view p, std::size_t maxComponent) {
    if (p.empty()) return "no path";
    if (!IsUtf8(p)) return "text that is not UTF-8";
    if (Utf16Length(p) > kMaxPathUnits) return "a path longer than the system takes";
    if (p.starts_with(R"(\\?\)")) {
        p.remove_prefix(4);
        if (p.size() >= 4 && SameTextAscii(p.substr(0, 4), "UNC\\")) return UncProblem(p.substr(4), maxComponent);
        if (!IsDriveRoot(p)) return "a device path";
        return PartsProblem(p.substr(3), maxComponent);
    }
    if (p.starts_with(R"(\\)")) return UncProblem(p.substr(2), maxComponent);
    if (!IsDriveRoot(p)) return "a relative path";
    return PartsProblem(p.substr(3), maxComponent);
}

bool IsUsableFolderSetting(std::string_view value) { return PathSyntaxProblem(value) == nullptr; }

std::string WithoutTrailingSeparator(std::string_view path) {
    std::string p(path);
    if (!p.ends_with('\\')) return p;
    std::string trimmed = p.substr(0, p.size() - 1);
    // A drive root keeps its "\" ("C:" alone means the drive's current folder).
    if (trimmed.size() == 2 && trimmed[1] == ':') return p;
    if (trimmed.size() == 6 && trimmed.starts_with(R"(\\?\)") && trimmed[5] == ':') return p;
    return trimmed;
}

std::optional<CheckedPath> CheckPath(std::string_view raw, const IPathLookup& lookup) {
    std::string path(raw);
    // The file system is asked nothing about a path of the wrong form.
    if (PathSyntaxProblem(path, kMaxPathUnits) != nullptr) return std::nullopt;
    const std::size_t before = path.size();
    path = WithoutTrailingSeparator(path);
    const bool namedAsFolder = path.size() != before;
    if (PathSyntaxProblem(path, lookup.MaxComponentLength(path)) != nullptr) return std::nullopt;
    const PathKind kind = lookup.KindOf(path);
    // "a.mp4\" names a folder: the system would not find the file by it.
    if (kind == PathKind::Missing || (namedAsFolder && kind == PathKind::File)) return std::nullopt;
    return CheckedPath(std::move(path), kind);
}

}  // namespace kv
