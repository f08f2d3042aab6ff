#pragma once
// The window art by the names the layout uses: "background", "logo",
// "banner", and each button set's pictures as set name plus "_idle",
// "_down" or "_hover" ("close_idle"). The names are also the art files' names;
// a file drawn above 100 % carries its scale ("close_idle@150").
#include <string_view>

namespace kv::ui {

// The resource id of a picture; 0 for a name that is not one.
[[nodiscard]] int ArtId(std::string_view name) noexcept;
// The resource id of a picture drawn at an art scale (ui/dpi.h, kArtScales);
// 0 for a name or a scale there is no picture of.
[[nodiscard]] int ArtId(std::string_view name, int scalePercent, bool dark = false) noexcept;

}  // namespace kv::ui
