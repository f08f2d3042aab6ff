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

bool RunsContain(const std::vector<TPixelRun>& runs, int x, int y) noexcept {
    for (const TPixelRun& r : runs) {
        if (r.y == y && x >= r.x0 && x < r.x1) return true;
    }
    return false;
}

}  // namespace kv::ui
