#pragma once
// The window art by the names the layout uses: "background", "logo",
// "banner", and each button set's pictures as set name plus "_idle",
// "_down" or "_hover" ("close_idle"). The names are also the art files' names.
#include <string_view>

namespace kv::ui {

// The resource id of a picture; 0 for a name that is not one.
[[nodiscard]] int ArtId(std::string_view name) noexcept;

}  // namespace kv::ui
