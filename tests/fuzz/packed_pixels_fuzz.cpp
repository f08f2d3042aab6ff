// The packed pictures' reader: a picture exactly as large as its header says,
// or none, and nothing allocated for pixels the data does not hold.
#include <span>

#include "fuzz_util.h"
#include "ui/pixmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kv::ui::TPixmap pic = kv::ui::UnpackPixels(std::span<const std::uint8_t>(data, size));
    if (pic.Empty()) {
        kvfuzz::Require(pic.pixels.empty(), "an empty picture holds nothing");
        return 0;
    }
    kvfuzz::Require(size >= 8 && pic.width == (data[4] | (data[5] << 8)) && pic.height == (data[6] | (data[7] << 8)),
                    "the header's size");
    kvfuzz::Require(pic.pixels.size() == static_cast<std::size_t>(pic.width) * pic.height, "every pixel there");
    // Each record of at most 4 bytes gives at most 129 pixels: a picture never outgrows its data.
    kvfuzz::Require(pic.pixels.size() <= (size - 8) * 129, "no more pixels than the data can give");
    return 0;
}
