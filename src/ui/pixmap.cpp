#include "ui/pixmap.h"

#include <stdexcept>

namespace kv::ui {

TPixmap::TPixmap(int w, int h, std::uint32_t fill)
    : width(w < 0 ? 0 : w), height(h < 0 ? 0 : h), pixels(static_cast<std::size_t>(width) * height, fill) {}

std::vector<TPixelRun> ShapeRuns(const TPixmap& pic, std::uint32_t key) {
    std::vector<TPixelRun> runs;
    if (pic.Empty()) return runs;
    for (int y = 0; y < pic.height; ++y) {
        int x = 0;
        while (x < pic.width) {
            while (x < pic.width && pic.At(x, y) == key) ++x;
            if (x == pic.width) break;
            const int start = x;
            while (x < pic.width && pic.At(x, y) != key) ++x;
            runs.push_back({y, start, x});
        }
    }
    return runs;
}

std::uint32_t KeyColour(const TPixmap& pic) {
    if (pic.Empty()) throw std::invalid_argument("an empty picture has no key colour");
    return pic.At(0, 0);
}

TPixmap UnpackPixels(std::span<const std::uint8_t> data) {
    constexpr std::size_t kHead = 8;
    if (data.size() < kHead || data[0] != 'K' || data[1] != 'V' || data[2] != 'P' || data[3] != '1') return {};
    const int w = data[4] | (data[5] << 8);
    const int h = data[6] | (data[7] << 8);
    TPixmap pic(w, h);
    if (pic.Empty()) return {};
    const std::size_t total = pic.pixels.size();
    std::size_t out = 0;
    std::size_t at = kHead;
    const auto pixel = [&data](std::size_t i) { return Rgb(data[i + 2], data[i + 1], data[i]); };
    while (at < data.size()) {
        const unsigned n = data[at++];
        const bool repeat = n >= 128;
        const std::size_t count = repeat ? n - 126 : n + 1;
        const std::size_t bytes = repeat ? 3 : count * 3;
        if (data.size() - at < bytes || total - out < count) return {};
        for (std::size_t i = 0; i < count; ++i) pic.pixels[out++] = pixel(repeat ? at : at + i * 3);
        at += bytes;
    }
    if (out != total) return {};
    return pic;
}

bool RunsContain(const std::vector<TPixelRun>& runs, int x, int y) noexcept {
    for (const TPixelRun& r : runs) {
        if (r.y == y && x >= r.x0 && x < r.x1) return true;
    }
    return false;
}

}  // namespace kv::ui
