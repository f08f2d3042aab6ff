// The stored choices and the menu's commands, both open to anyone: registry
// values of any type and text, and WM_COMMAND / WM_SYSCOMMAND ids any program
// can send. Whatever comes in, the choices stay within their ranges, and an
// id changes at most one choice.
#include "convert/choices.h"
#include "fuzz_util.h"
#include "ui/choice_menu.h"

namespace {

kv::StoredValue ValueFrom(std::string_view& in) {
    kv::StoredValue v;
    if (in.empty()) return v;
    v.type = static_cast<kv::StoredValue::Type>(static_cast<unsigned char>(in[0]) % 4);
    in.remove_prefix(1);
    const std::size_t n = in.empty() ? 0 : static_cast<unsigned char>(in[0]) % 16;
    if (!in.empty()) in.remove_prefix(1);
    v.text = std::string(in.substr(0, n));
    in.remove_prefix(std::min(n, in.size()));
    for (int i = 0; i < 4 && !in.empty(); ++i, in.remove_prefix(1))
        v.number = (v.number << 8) | static_cast<unsigned char>(in[0]);
    return v;
}

bool Within(const kv::ConversionChoices& c, int maxFiles) {
    return c.filesAtOnce >= 1 && c.filesAtOnce <= maxFiles && !kv::QualityText(c.quality).empty() &&
           !kv::WhenExistsText(c.whenExists).empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = kvfuzz::Text(data, size);
    std::string_view in = text;
    const int processors = in.empty() ? 1 : static_cast<signed char>(in[0]);
    if (!in.empty()) in.remove_prefix(1);
    const int maxFiles = kv::MaxFilesAtOnce(processors);
    kvfuzz::Require(maxFiles >= 1 && maxFiles <= kv::kMaxFilesAtOnce, "files at once from 1 to 8", text);
    const kv::StoredValue q = ValueFrom(in), f = ValueFrom(in), w = ValueFrom(in);
    const kv::ConversionChoices c = kv::ChoicesFrom(q, f, w, processors);
    kvfuzz::Require(Within(c, maxFiles), "the stored choices within their ranges", text);
    for (int i = 0; i + 1 < static_cast<int>(in.size()); i += 2) {
        const unsigned id = static_cast<unsigned char>(in[static_cast<std::size_t>(i)]) << 8 |
                            static_cast<unsigned char>(in[static_cast<std::size_t>(i) + 1]);
        const auto chosen = kv::ui::Chosen(id, c, maxFiles);
        if (!chosen) continue;
        kvfuzz::Require(Within(*chosen, maxFiles), "a chosen value within its range", text);
        const int changed = (chosen->quality != c.quality) + (chosen->filesAtOnce != c.filesAtOnce) +
                            (chosen->whenExists != c.whenExists);
        kvfuzz::Require(changed <= 1, "one command changes one choice", text);
    }
    return 0;
}
