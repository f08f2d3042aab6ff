#include "ui/art_names.h"

#include <array>
#include <utility>

#include "ui/art_ids.h"
#include "ui/dpi.h"

namespace kv::ui {

int ArtId(std::string_view name) noexcept {
    static constexpr std::array<std::pair<std::string_view, int>, 12> kArt{{
        {"background", IDB_BACKGROUND},
        {"logo", IDB_LOGO},
        {"banner", IDB_BANNER},
        {"close_idle", IDB_CLOSE_IDLE},
        {"close_down", IDB_CLOSE_DOWN},
        {"close_hover", IDB_CLOSE_HOVER},
        {"minimize_idle", IDB_MINIMIZE_IDLE},
        {"minimize_down", IDB_MINIMIZE_DOWN},
        {"minimize_hover", IDB_MINIMIZE_HOVER},
        {"convert_idle", IDB_CONVERT_IDLE},
        {"convert_down", IDB_CONVERT_DOWN},
        {"convert_hover", IDB_CONVERT_HOVER},
    }};
    for (const auto& [n, id] : kArt) {
        if (n == name) return id;
    }
    return 0;
}

int ArtId(std::string_view name, int scalePercent, bool dark) noexcept {
    const int base = ArtId(name);
    const int index = ArtScaleIndex(scalePercent);
    if (base == 0 || index < 0) return 0;
    return base + (dark ? KV_ART_DARK_OFFSET : 0) + index * KV_ART_SCALE_STEP;
}

}  // namespace kv::ui
