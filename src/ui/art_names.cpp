#include "ui/art_names.h"

#include <array>
#include <utility>

#include "ui/art_ids.h"

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

}  // namespace kv::ui
