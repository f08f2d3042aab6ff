#pragma once
// A picture's pixels, kept apart from any GDI object so that the rules that
// read them (the button's key-colour shape) build and test without Windows.
#include <cstdint>
#include <span>
#include <vector>

namespace kv::ui {

// 0x00RRGGBB: the layout of a 32-bit top-down DIB section, read as uint32.
constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) noexcept {
    return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

struct TPixmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // row by row, top row first

    TPixmap() = default;
    TPixmap(int w, int h, std::uint32_t fill = 0);

    [[nodiscard]] bool Empty() const noexcept { return width <= 0 || height <= 0; }
    [[nodiscard]] std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    void Set(int x, int y, std::uint32_t c) { pixels[static_cast<std::size_t>(y) * width + x] = c; }

    friend bool operator==(const TPixmap&, const TPixmap&) = default;
};

// A horizontal run of pixels [x0, x1) in row y.
struct TPixelRun {
    int y = 0;
    int x0 = 0;
    int x1 = 0;
    friend bool operator==(const TPixelRun&, const TPixelRun&) = default;
};

// The pixels of pic that are not exactly the key colour, as runs ordered by
// row, then column. Key-coloured pixels are left out wherever they lie, inside
// the drawn shape as well as around it. An empty picture gives no runs.
std::vector<TPixelRun> ShapeRuns(const TPixmap& pic, std::uint32_t key);

// The key colour of a picture: its top-left pixel.
[[nodiscard]] std::uint32_t KeyColour(const TPixmap& pic);

// Pixels packed by tools/art/make_art.py (write_packed): "KVP1", width and
// height as 16-bit little-endian numbers, then records of the pixels row by
// row from the top. A record byte n below 128 is followed by n + 1 pixels, from
// 128 on by one pixel repeated n - 126 times; a pixel is blue, green, red. The
// art above 100 % is kept so: the four larger backgrounds as bitmaps would
// weigh 8 MB, packed they weigh 0.2 MB. Data that is cut short, runs past the
// picture or ends early gives an empty pixmap.
[[nodiscard]] TPixmap UnpackPixels(std::span<const std::uint8_t> data);

[[nodiscard]] bool RunsContain(const std::vector<TPixelRun>& runs, int x, int y) noexcept;

}  // namespace kv::ui
