// Art resampled between its scales: sizes, colours kept, and the averages.
#include "ui/resample.h"

#include <gtest/gtest.h>

namespace {

using kv::ui::Resampled;
using kv::ui::Rgb;
using kv::ui::TPixmap;

constexpr std::uint32_t kKey = Rgb(220, 220, 220);

TEST(Resample, SizesAndTheTrivialCases) {
    TPixmap pic(29, 17, Rgb(1, 2, 3));
    pic.Set(5, 5, Rgb(200, 0, 0));
    EXPECT_EQ(Resampled(pic, 29, 17), pic);
    const TPixmap small = Resampled(pic, 26, 15), large = Resampled(pic, 73, 43);
    EXPECT_EQ(small.width, 26);
    EXPECT_EQ(small.height, 15);
    EXPECT_EQ(large.width, 73);
    EXPECT_EQ(large.height, 43);
    EXPECT_TRUE(Resampled(pic, 0, 10).Empty());
    EXPECT_TRUE(Resampled(TPixmap{}, 10, 10).Empty());
    EXPECT_EQ(Resampled(pic, 1, 1).width, 1);
}

// One colour stays that colour exactly at every size, reduced or enlarged: the
// key colour around a button's shape stays key, and the skin's face its grey.
TEST(Resample, OneColourStaysExactlyThatColour) {
    const TPixmap grey(503, 480, kKey);
    for (const auto& [w, h] :
         {std::pair{460, 439}, std::pair{629, 600}, std::pair{1509, 1440}, std::pair{1006, 960}, std::pair{7, 3}}) {
        const TPixmap r = Resampled(grey, w, h);
        int other = 0;
        for (std::uint32_t c : r.pixels) other += c != kKey;
        EXPECT_EQ(other, 0) << w << "x" << h;
    }
}

TEST(Resample, ReducingAveragesWhatEachPixelCovers) {
    // Halving: each pixel the mean of a 2x2 block.
    TPixmap pic(4, 2);
    const std::uint32_t block[] = {Rgb(0, 0, 0), Rgb(100, 40, 8), Rgb(200, 80, 16), Rgb(100, 40, 8)};
    pic.Set(0, 0, block[0]);
    pic.Set(1, 0, block[1]);
    pic.Set(0, 1, block[2]);
    pic.Set(1, 1, block[3]);
    for (int x = 2; x < 4; ++x)
        for (int y = 0; y < 2; ++y) pic.Set(x, y, Rgb(10, 20, 30));
    const TPixmap half = Resampled(pic, 2, 1);
    EXPECT_EQ(half.At(0, 0), Rgb(100, 40, 8));
    EXPECT_EQ(half.At(1, 0), Rgb(10, 20, 30));
    // Three to two: the middle source pixel is shared half and half.
    TPixmap row(3, 1);
    row.Set(0, 0, Rgb(0, 0, 0));
    row.Set(1, 0, Rgb(90, 90, 90));
    row.Set(2, 0, Rgb(180, 180, 180));
    const TPixmap two = Resampled(row, 2, 1);
    EXPECT_EQ(two.At(0, 0), Rgb(30, 30, 30));     // (0 x 1 + 90 x 0.5) / 1.5
    EXPECT_EQ(two.At(1, 0), Rgb(150, 150, 150));  // (90 x 0.5 + 180 x 1) / 1.5
}

// A button at 110 dpi: its 125 % picture reduced to the 26 px of its place.
// Pixels wholly in the key-coloured surround stay key; a dark shape stays dark
// in its middle, and the edge between blends.
TEST(Resample, AButtonShapeKeepsItsSurroundAndItsMiddle) {
    TPixmap pic(29, 29, kKey);
    for (int y = 8; y < 21; ++y)
        for (int x = 8; x < 21; ++x) pic.Set(x, y, Rgb(40, 50, 60));
    const TPixmap r = Resampled(pic, 26, 26);
    EXPECT_EQ(r.At(0, 0), kKey);
    EXPECT_EQ(r.At(25, 25), kKey);
    EXPECT_EQ(r.At(5, 13), kKey);
    EXPECT_EQ(r.At(13, 13), Rgb(40, 50, 60));
    int blended = 0;
    for (std::uint32_t c : r.pixels) blended += c != kKey && c != Rgb(40, 50, 60);
    EXPECT_GT(blended, 0);
    EXPECT_LT(blended, 4 * 26);
}

TEST(Resample, EnlargingInterpolatesBetweenPixelCentresAndKeepsTheEdges) {
    TPixmap row(2, 1);
    row.Set(0, 0, Rgb(0, 0, 0));
    row.Set(1, 0, Rgb(200, 100, 40));
    const TPixmap wide = Resampled(row, 8, 2);
    EXPECT_EQ(wide.At(0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(wide.At(1, 0), Rgb(0, 0, 0));  // left of the first centre: the edge colour
    EXPECT_EQ(wide.At(7, 1), Rgb(200, 100, 40));
    for (int x = 1; x < 8; ++x) EXPECT_GE(wide.At(x, 0) >> 16, wide.At(x - 1, 0) >> 16) << "rises left to right";
    EXPECT_EQ(wide.At(3, 0), Rgb(75, 38, 15));  // at 0.375 of the way: 75, 37.5, 15
    EXPECT_EQ(wide.At(3, 0), wide.At(3, 1));
}

}  // namespace
