#include "ui/resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace kv::ui {

namespace {

// The source pixels one target pixel takes, from `first` on, with their weights (summing to 1).
struct Tap {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Tap> Taps(int from, int to) {
    std::vector<Tap> taps(static_cast<std::size_t>(to));
    const double ratio = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        Tap& t = taps[static_cast<std::size_t>(i)];
        if (to <= from) {
            // The target pixel covers [begin, end) of the source.
            const double begin = i * ratio, end = (i + 1) * ratio;
            t.first = static_cast<int>(std::floor(begin));
            const int last = std::min(from - 1, static_cast<int>(std::ceil(end)) - 1);
            for (int s = t.first; s <= last; ++s)
                t.weights.push_back((std::min<double>(end, s + 1) - std::max<double>(begin, s)) / ratio);
        } else {
            const double centre = std::clamp((i + 0.5) * ratio - 0.5, 0.0, static_cast<double>(from - 1));
            t.first = std::min(static_cast<int>(std::floor(centre)), from - 1);
            const double f = centre - t.first;
            t.weights = {1.0 - f};
            if (t.first + 1 < from) t.weights.push_back(f);
        }
    }
    return taps;
}

using Plane = std::vector<double>;  // three channels a pixel, row by row

std::uint8_t Channel(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

TPixmap Resampled(const TPixmap& pic, int width, int height) {
    if (width < 1 || height < 1 || pic.Empty()) return {};
    if (width == pic.width && height == pic.height) return pic;
    const std::vector<Tap> across = Taps(pic.width, width), down = Taps(pic.height, height);
    // Across first: each source row to the target width.
    Plane rows(static_cast<std::size_t>(width) * pic.height * 3, 0.0);
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < width; ++x) {
            const Tap& t = across[static_cast<std::size_t>(x)];
            double* out = &rows[(static_cast<std::size_t>(y) * width + x) * 3];
            for (std::size_t k = 0; k < t.weights.size(); ++k) {
                const std::uint32_t c = pic.At(t.first + static_cast<int>(k), y);
                out[0] += t.weights[k] * ((c >> 16) & 0xFF);
                out[1] += t.weights[k] * ((c >> 8) & 0xFF);
                out[2] += t.weights[k] * (c & 0xFF);
            }
        }
    TPixmap result(width, height);
    for (int y = 0; y < height; ++y) {
        const Tap& t = down[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            double r = 0, g = 0, b = 0;
            for (std::size_t k = 0; k < t.weights.size(); ++k) {
                const double* in = &rows[(static_cast<std::size_t>(t.first + static_cast<int>(k)) * width + x) * 3];
                r += t.weights[k] * in[0];
                g += t.weights[k] * in[1];
                b += t.weights[k] * in[2];
            }
            result.Set(x, y, Rgb(Channel(r), Channel(g), Channel(b)));
        }
    }
    return result;
}

}  // namespace kv::ui
