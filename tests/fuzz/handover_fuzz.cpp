// The hand-over block as any program on the desktop may send it, through to
// the border check: what the window takes in at once is judged by its text
// alone, and that quick judgement never refuses a path the border check
// (which looks at the file system, later) would let in.
#include <algorithm>
#include <string>

#include "app/handover.h"
#include "fuzz_util.h"
#include "support/checked.h"

namespace {

// UTF-16 as UTF-8, a lone surrogate as U+FFFD (as the window's conversion gives it).
std::string Utf8Of(const std::u16string& w) {
    std::string out;
    for (std::size_t i = 0; i < w.size(); ++i) {
        char32_t c = w[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (w[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto paths = kv::UnpackHandOver(data, size);
    kvfuzz::Require(paths.size() <= kv::kMaxHandOverEntries, "entries within the bound");
    std::vector<std::string> narrow;
    for (const auto& p : paths) {
        kvfuzz::Require(!p.empty() && p.size() < kv::kMaxHandedPath, "no empty or over-long entry");
        kvfuzz::Require(p.find(u'\0') == std::u16string::npos, "no zero inside an entry");
        narrow.push_back(Utf8Of(p));
    }
    // What was read packs into a block that reads back the same.
    const std::u16string block = kv::PackHandOver(paths);
    const auto again = kv::UnpackHandOver(block.data(), block.size() * sizeof(char16_t));
    kvfuzz::Require(again == paths, "pack and unpack agree");

    // Taken in at once: a subsequence of what came, in its order.
    const std::vector<std::string> plausible = kv::PlausiblePaths(narrow);
    std::size_t at = 0;
    for (const auto& p : narrow)
        if (at < plausible.size() && plausible[at] == p) ++at;
    kvfuzz::Require(at == plausible.size(), "only what came, in its order");
    kv::HandOverQueue queue;
    std::vector<kv::HandedPath> handed;
    for (const auto& p : plausible) handed.push_back({p, 1});
    kvfuzz::Require(queue.Push(handed), "a block within the bound is kept whole");
    kvfuzz::Require(queue.TakeAll() == handed, "kept as it came, with its request");
    // Had every path named a file, the border check would let in only paths taken in at once.
    kvtest::FakeFileSystem fs;
    for (const auto& p : narrow) fs.files.insert(p);
    for (const auto& p : narrow)
        if (kv::CheckPath(p, fs))
            kvfuzz::Require(std::find(plausible.begin(), plausible.end(), p) != plausible.end(),
                            "the quick check refuses nothing the border check takes", p);
    return 0;
}
