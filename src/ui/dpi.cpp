#include "ui/dpi.h"

#include <cstdint>

namespace kv::ui {

int Scale(int v, int dpi) noexcept {
    const std::int64_t n = std::int64_t{v} * dpi;
    const std::int64_t half = kBaseDpi / 2;
    return static_cast<int>(n >= 0 ? (n + half) / kBaseDpi : (n - half) / kBaseDpi);
}

int ArtScaleFor(int dpi) noexcept {
    for (const int percent : kArtScales)
        if (DpiOfArtScale(percent) >= dpi) return percent;
    return kArtScales.back();
}

int ArtScaleIndex(int percent) noexcept {
    for (std::size_t i = 0; i < kArtScales.size(); ++i)
        if (kArtScales[i] == percent) return static_cast<int>(i);
    return -1;
}

ScaledRect ScaleRect(int left, int top, int width, int height, int dpi) noexcept {
    return {Scale(left, dpi), Scale(top, dpi), Scale(width, dpi), Scale(height, dpi)};
}

}  // namespace kv::ui
