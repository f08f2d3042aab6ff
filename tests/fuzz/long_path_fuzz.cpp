// The extended-length form: for any path and current folder, the result is
// the input unchanged or an extended path below the same drive or share,
// with no "." or ".." part left to climb.
#include <string>

#include "fuzz_util.h"
#include "win/long_path.h"

namespace {

// "\\?\C:" or "\\?\UNC\server\share": the part of an extended path nothing may leave.
std::string RootOf(const std::string& extended) {
    if (extended.starts_with("\\\\?\\UNC\\")) {
        std::size_t at = 8;
        for (int parts = 0; parts < 2 && at != std::string::npos; ++parts) {
            at = extended.find('\\', at);
            if (at != std::string::npos && parts == 0) ++at;
        }
        return extended.substr(0, at);
    }
    return extended.substr(0, 6);
}

// The root that the input's own form names, written the extended way;
// empty for a server path without both a server and a share.
std::string WantedRoot(const std::string& path, const std::string& cur) {
    auto sep = [](char c) { return c == '\\' || c == '/'; };
    const bool rooted =
        (path.size() >= 2 && sep(path[0]) && sep(path[1])) || (path.size() >= 3 && path[1] == ':' && sep(path[2]));
    const std::string& base = rooted ? path : cur;
    if (!(base.size() >= 2 && sep(base[0]) && sep(base[1]))) return "\\\\?\\" + base.substr(0, 2);
    std::string unc = "\\\\?\\UNC";
    std::size_t at = 2;
    for (int k = 0; k < 2; ++k) {
        if (at > base.size()) return {};
        std::size_t end = at;
        while (end < base.size() && !sep(base[end])) ++end;
        std::string part = base.substr(at, end - at);
        if (part.empty() || part == "." || part == "..") return {};
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (part.empty()) return {};
        unc += "\\" + part;
        at = end + 1;
    }
    return unc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string all = kvfuzz::Text(data, size);
    const std::size_t cut = all.find('\0');
    const std::string path = all.substr(0, cut);
    const std::string cur = cut == std::string::npos ? std::string() : all.substr(cut + 1);
    const std::string out = kv::ExtendedLengthPath(path, cur);
    if (out == path) return 0;
    kvfuzz::Require(out.starts_with("\\\\?\\"), "changed only into the extended form", out);
    const std::string root = RootOf(out);
    const std::string wanted = WantedRoot(path, cur);
    kvfuzz::Require(!wanted.empty(), "a server path without a share is left as it is", path + " -> " + out);
    kvfuzz::Require(root == wanted, "below the input's own drive or share", path + " -> " + out);
    const std::string rest = out.substr(root.size());
    kvfuzz::Require(rest.find("\\..\\") == std::string::npos && !rest.ends_with("\\..") &&
                        rest.find("\\.\\") == std::string::npos && rest.find('/') == std::string::npos,
                    "no part left to climb", out);
    return 0;
}
