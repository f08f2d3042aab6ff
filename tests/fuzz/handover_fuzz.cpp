// The hand-over block as any program on the desktop may send it.
#include <algorithm>

#include "app/handover.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto paths = kv::UnpackHandOver(data, size);
    kvfuzz::Require(paths.size() <= kv::kMaxHandOverEntries, "entries within the bound");
    for (const auto& p : paths) {
        kvfuzz::Require(!p.empty() && p.size() < kv::kMaxHandedPath, "no empty or over-long entry");
        kvfuzz::Require(p.find(u'\0') == std::u16string::npos, "no zero inside an entry");
    }
    // What was read packs into a block that reads back the same.
    const std::u16string block = kv::PackHandOver(paths);
    const auto again = kv::UnpackHandOver(block.data(), block.size() * sizeof(char16_t));
    kvfuzz::Require(again == paths, "pack and unpack agree");
    return 0;
}
