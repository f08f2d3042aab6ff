#include "ui/dpi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ui/art_ids.h"
#include "ui/art_names.h"
#include "ui/layout.h"
#include "ui/pixmap.h"

namespace {

using namespace kv::ui;

TEST(DpiScale, RoundsAsMulDivDoes) {
    // 96 dpi is the layout itself.
    for (const int v : {0, 1, 13, 479, 503, -7}) EXPECT_EQ(Scale(v, 96), v) << v;
    // Whole scales.
    EXPECT_EQ(Scale(503, 192), 1006);
    EXPECT_EQ(Scale(-11, 192), -22);
    // To the nearest; a half goes away from zero, as MulDiv rounds.
    EXPECT_EQ(Scale(503, 120), 629);  // 628.75
    EXPECT_EQ(Scale(479, 120), 599);  // 598.75
    EXPECT_EQ(Scale(23, 168), 40);    // 40.25
    EXPECT_EQ(Scale(42, 120), 53);    // 52.5
    EXPECT_EQ(Scale(503, 144), 755);  // 754.5
    EXPECT_EQ(Scale(-1, 144), -2);    // -1.5
    EXPECT_EQ(Scale(1, 144), 2);      // 1.5
    EXPECT_EQ(Scale(3, 100), 3);      // 3.125
    // Large values do not overflow on the way.
    EXPECT_EQ(Scale(40000000, 192), 80000000);
}

TEST(DpiScale, RectanglesScalePlaceAndSizeAlike) {
    EXPECT_EQ(ScaleRect(436, 384, 41, 42, 96), (ScaledRect{436, 384, 41, 42}));
    EXPECT_EQ(ScaleRect(436, 384, 41, 42, 144), (ScaledRect{654, 576, 62, 63}));
    EXPECT_EQ(ScaleRect(464, 13, 23, 23, 120), (ScaledRect{580, 16, 29, 29}));
    // Every visible control still fits the scaled window at every art scale.
    for (const int percent : kArtScales) {
        const int dpi = DpiOfArtScale(percent);
        for (const auto& c : MainLayout()) {
            if (c.look & lkHiddenStore || c.name == "Image1") continue;
            const ScaledRect r = ScaleRect(c.left, c.top, c.width, c.height, dpi);
            EXPECT_LE(r.left + r.width, Scale(kClientWidth, dpi)) << c.name << " at " << dpi;
            EXPECT_LE(r.top + r.height, Scale(kClientHeight, dpi)) << c.name << " at " << dpi;
        }
    }
}

TEST(DpiArtScale, TheNearestScaleAtOrAboveTheDpi) {
    const struct {
        int dpi, percent;
    } cases[] = {{96, 100},  {72, 100},  {0, 100},   {-5, 100},  {97, 125},  {120, 125},
                 {121, 150}, {144, 150}, {145, 175}, {168, 175}, {169, 200}, {192, 200},
                 {193, 250}, {240, 250}, {241, 300}, {288, 300}, {289, 300}, {480, 300}};
    for (const auto& c : cases) EXPECT_EQ(ArtScaleFor(c.dpi), c.percent) << c.dpi << " dpi";
    int i = 0;
    for (const int percent : {100, 125, 150, 175, 200, 250, 300}) {
        EXPECT_EQ(ArtScaleIndex(percent), i++);
    }
    for (const int percent : {0, 99, 120, 225, 350}) EXPECT_EQ(ArtScaleIndex(percent), -1) << percent;
    EXPECT_EQ(DpiOfArtScale(150), 144);
    EXPECT_EQ(DpiOfArtScale(125), 120);
    EXPECT_EQ(DpiOfArtScale(250), 240);
    EXPECT_EQ(DpiOfArtScale(300), 288);
}

TEST(DpiArtScale, EachScaleOfEachPictureHasItsOwnId) {
    const char* names[] = {"background",     "logo",         "banner",        "close_idle",
                           "close_down",     "close_hover",  "minimize_idle", "minimize_down",
                           "minimize_hover", "convert_idle", "convert_down",  "convert_hover"};
    std::set<int> ids;
    for (const char* n : names) {
        EXPECT_EQ(ArtId(n, 100), ArtId(n)) << n;
        for (const int percent : kArtScales) {
            const int id = ArtId(n, percent);
            EXPECT_GT(id, 0) << n << "@" << percent;
            // Resource ids are 16 bits.
            EXPECT_LT(id, 0x10000) << n << "@" << percent;
            ids.insert(id);
        }
    }
    EXPECT_EQ(ids.size(), std::size(names) * kArtScales.size());
    EXPECT_EQ(ArtId("close_idle", 150), IDB_CLOSE_IDLE + 2 * KV_ART_SCALE_STEP);
    EXPECT_EQ(ArtId("close_idle", 120), 0);
    EXPECT_EQ(ArtId("close", 150), 0);
}

TEST(UnpackPixels, LiteralAndRepeatedRunsFillThePictureRowByRow) {
    const std::uint32_t a = Rgb(1, 2, 3), b = Rgb(250, 128, 7);
    std::vector<std::uint8_t> data{'K', 'V', 'P', '1', 3, 0, 2, 0};
    data.insert(data.end(), {0x81, 3, 2, 1});               // a, three times (129 - 126)
    data.insert(data.end(), {0x01, 7, 128, 250, 3, 2, 1});  // b, a as they are
    data.insert(data.end(), {0x00, 7, 128, 250});           // b alone
    TPixmap p = UnpackPixels(data);
    ASSERT_EQ(p.width, 3);
    ASSERT_EQ(p.height, 2);
    EXPECT_EQ(p.pixels, (std::vector<std::uint32_t>{a, a, a, b, a, b}));
    EXPECT_EQ(p.At(2, 1), b);
    // One pixel more than the picture holds is damage, not a longer picture.
    data.insert(data.end(), {0x00, 7, 128, 250});
    EXPECT_TRUE(UnpackPixels(data).Empty());
}

TEST(UnpackPixels, LongestRecordsOfBothKinds) {
    std::vector<std::uint8_t> data{'K', 'V', 'P', '1', 1, 1, 1, 0};  // 257 x 1
    data.insert(data.end(), {0xFF, 9, 9, 9});                        // 129 repeats
    data.push_back(0x7F);                                            // 128 pixels as they are
    for (int i = 0; i < 128; ++i) data.insert(data.end(), {static_cast<std::uint8_t>(i), 0, 0});
    const TPixmap p = UnpackPixels(data);
    ASSERT_EQ(p.width, 257);
    EXPECT_EQ(p.At(128, 0), Rgb(9, 9, 9));
    EXPECT_EQ(p.At(129, 0), Rgb(0, 0, 0));
    EXPECT_EQ(p.At(256, 0), Rgb(0, 0, 127));
}

TEST(UnpackPixels, DamagedDataGivesNoPicture) {
    const std::vector<std::uint8_t> good{'K', 'V', 'P', '1', 2, 0, 1, 0, 0x80, 1, 2, 3};
    ASSERT_FALSE(UnpackPixels(good).Empty());
    auto with = [&good](std::size_t at, std::uint8_t v) {
        auto d = good;
        d[at] = v;
        return d;
    };
    EXPECT_TRUE(UnpackPixels(with(0, 'B')).Empty()) << "another format";
    EXPECT_TRUE(UnpackPixels(with(6, 2)).Empty()) << "ends a row early";
    EXPECT_TRUE(UnpackPixels(with(8, 0x81)).Empty()) << "runs past the picture";
    EXPECT_TRUE(UnpackPixels(with(8, 0x01)).Empty()) << "a record cut short";
    EXPECT_TRUE(UnpackPixels(with(4, 0)).Empty()) << "no width";
    EXPECT_TRUE(UnpackPixels(std::span(good).first(7)).Empty()) << "a header cut short";
    EXPECT_TRUE(UnpackPixels(std::span(good).first(11)).Empty()) << "a pixel cut short";
    EXPECT_TRUE(UnpackPixels({}).Empty());
}

}  // namespace
