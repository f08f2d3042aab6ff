#include "app/media_kinds.h"

#include "app/runner_text.h"
#include "app/texts.h"
#include "win/utf8.h"

namespace kv {

std::optional<std::string> MediaKindOf(std::string_view path) {
    const std::string name = FileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return std::nullopt;
    const std::string_view extension = std::string_view(name).substr(dot + 1);
    for (const std::string_view known : kMediaExtensions) {
        if (SameTextAscii(extension, known)) return UpperAscii(known);
    }
    return std::nullopt;
}

bool LengthNeedsWholeFile(std::string_view path) { return MediaKindOf(path) == "AAC"; }

std::string MediaDialogFilter() {
    std::string all;
    for (const std::string_view e : kMediaExtensions) all.append(all.empty() ? "*." : ";*.").append(e);
    std::string filter = Tr(TextId::Mp4Filter);
    filter.append("|*.mp4|").append(Tr(TextId::MediaFilter)).append("|").append(all);
    return filter.append("|").append(Tr(TextId::AllFilter)).append("|*.*");
}

}  // namespace kv
