// The border check on any text: what it lets in is absolute, holds no
// character a name cannot have, and stays the same path. The kind a name
// gives is that of its own extension, and never an MP3's.
#include <string_view>

#include "app/checked_path.h"
#include "app/media_kinds.h"
#include "app/runner_text.h"
#include "fuzz_util.h"
#include "support/checked.h"

namespace {

// A file system in which every path exists: as a folder when it ends in "\".
class Everything final : public kv::IPathLookup {
public:
    kv::PathKind KindOf(const std::string& p) const override {
        return p.ends_with(".mp4") ? kv::PathKind::File : kv::PathKind::Folder;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string raw = kvfuzz::Text(data, size);
    if (const auto kind = kv::MediaKindOf(raw)) {
        const std::string name = kv::FileNamePart(raw);
        kvfuzz::Require(name.size() > kind->size() + 1 && name[name.size() - kind->size() - 1] == '.',
                        "the kind is the name's extension", raw);
        kvfuzz::Require(kv::SameTextAscii(name.substr(name.size() - kind->size()), *kind),
                        "the kind is the name's extension", raw);
        kvfuzz::Require(*kind != "MP3", "an MP3 is never a source", raw);
    }
    const char* problem = kv::PathSyntaxProblem(raw);
    const auto checked = kv::CheckPath(raw, Everything());
    if (problem) {
        kvfuzz::Require(!checked, "a refused syntax is never let in", raw);
        return 0;
    }
    if (!checked) return 0;  // a file named as a folder
    const std::string& p = checked->Text();
    kvfuzz::Require(p == kv::WithoutTrailingSeparator(raw), "the path is kept as given", raw);
    const std::string_view named = std::string_view(p).substr(p.starts_with("\\\\?\\") ? 4 : 0);
    kvfuzz::Require(named.find_first_of("\"<>|*?/") == std::string::npos, "no character a name cannot have", p);
    for (char c : p) kvfuzz::Require(static_cast<unsigned char>(c) >= 0x20, "no control character", p);
    const bool drive = p.size() >= 3 && p[1] == ':' && p[2] == '\\';
    kvfuzz::Require(drive || p.starts_with("\\\\"), "absolute", p);
    kvfuzz::Require(p.find("\\..\\") == std::string::npos && !p.ends_with("\\.."), "never climbs", p);
    kvfuzz::Require(kv::PathSyntaxProblem(p) == nullptr, "the checked form passes again", p);
    return 0;
}
