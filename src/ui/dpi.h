#pragma once
// The window's scale for a display's DPI. The layout table is in 96-dpi
// units; every place, size, font height and shape is scaled as Windows
// scales (MulDiv). The art is drawn at seven scales; a DPI takes the nearest
// at or above it, reduced to fit (ui/resample.h), and a DPI above the largest
// takes the largest, enlarged.
#include <array>
#include <string_view>

namespace kv::ui {

inline constexpr int kBaseDpi = 96;

// The art's scales in percent of 96 dpi, in the order of their resource ids.
inline constexpr std::array<int, 7> kArtScales{100, 125, 150, 175, 200, 250, 300};

// v at dpi: v * dpi / 96, rounded to the nearest, halves away from zero (MulDiv).
[[nodiscard]] int Scale(int v, int dpi) noexcept;

// The smallest art scale whose DPI is at least dpi; the largest for any DPI above it
// and 100 for any DPI below 96 (or a nonsense one).
[[nodiscard]] int ArtScaleFor(int dpi) noexcept;

// The place of a scale in kArtScales; -1 for a scale the art is not drawn at.
[[nodiscard]] int ArtScaleIndex(int percent) noexcept;

// The DPI an art scale is drawn for (150 -> 144).
[[nodiscard]] constexpr int DpiOfArtScale(int percent) noexcept { return percent * kBaseDpi / 100; }

struct ScaledRect {
    int left, top, width, height;
    friend bool operator==(const ScaledRect&, const ScaledRect&) = default;
};

// A layout rectangle at dpi: place and size each scaled, as the art's sizes
// are, so that a picture button fills the place laid out for it.
[[nodiscard]] ScaledRect ScaleRect(int left, int top, int width, int height, int dpi) noexcept;

}  // namespace kv::ui
