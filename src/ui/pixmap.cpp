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

namespace {

// One record at `at`: how many pixels it gives and how many pixel bytes follow.
struct Record {
    std::size_t count, bytes;
};
Record RecordAt(std::span<const std::uint8_t> data, std::size_t at) {
    const unsigned n = data[at];
    const bool repeat = n >= 128;
    const std::size_t count = repeat ? n - 126 : n + 1;
    return {count, repeat ? 3 : count * 3};
}

}  // namespace

TPixmap UnpackPixels(std::span<const std::uint8_t> data) {
    constexpr std::size_t kHead = 8;
    if (data.size() < kHead || data[0] != 'K' || data[1] != 'V' || data[2] != 'P' || data[3] != '1') return {};
    const int w = data[4] | (data[5] << 8);
    const int h = data[6] | (data[7] << 8);
    const std::size_t total = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (total == 0) return {};
    // The records are walked once before the pixels are allocated: a header
    // that claims more pixels than the data holds costs nothing.
    std::size_t covered = 0;
    for (std::size_t at = kHead; at < data.size();) {
        const Record r = RecordAt(data, at++);
        if (data.size() - at < r.bytes || total - covered < r.count) return {};
        covered += r.count;
        at += r.bytes;
    }
    if (covered != total) return {};
    TPixmap pic(w, h);
    std::size_t out = 0;
    const auto pixel = [&data](std::size_t i) { return Rgb(data[i + 2], data[i + 1], data[i]); };
    for (std::size_t at = kHead; at < data.size();) {
        const bool repeat = data[at] >= 128;
        const Record r = RecordAt(data, at++);
        for (std::size_t i = 0; i < r.count; ++i) pic.pixels[out++] = pixel(repeat ? at : at + i * 3);
        at += r.bytes;
    }
    return pic;
}

bool RunsContain(const std::vector<TPixelRun>& runs, int x, int y) noexcept {
    for (const TPixelRun& r : runs) {
        if (r.y == y && x >= r.x0 && x < r.x1) return true;
    }
    return false;
}

}  // namespace kv::ui
