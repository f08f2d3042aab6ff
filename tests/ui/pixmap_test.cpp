#include "ui/pixmap.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "ui/art_names.h"
#include "ui/art_ids.h"

namespace {

using kv::ui::Rgb;
using kv::ui::TPixelRun;
using kv::ui::TPixmap;
using Runs = std::vector<TPixelRun>;

constexpr std::uint32_t kKey = Rgb(220, 220, 220);
constexpr std::uint32_t kInk = Rgb(30, 90, 160);

// Rows of text: '.' is the key colour, anything else ink.
TPixmap FromRows(const std::vector<std::string>& rows) {
    TPixmap p(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) p.Set(x, y, rows[y][x] == '.' ? kKey : kInk);
    }
    return p;
}

TEST(ShapeRuns, RemovesKeyPixelsAroundAndInsideTheShape) {
    const TPixmap p = FromRows({
        "..##..",
        ".####.",
        "##..##",  // a key-coloured hole inside the shape
        ".####.",
        "......",
    });
    EXPECT_EQ(kv::ui::KeyColour(p), kKey);
    EXPECT_EQ(kv::ui::ShapeRuns(p, kKey), (Runs{{0, 2, 4}, {1, 1, 5}, {2, 0, 2}, {2, 4, 6}, {3, 1, 5}}));
}

TEST(ShapeRuns, EdgeCases) {
    EXPECT_TRUE(kv::ui::ShapeRuns(TPixmap{}, kKey).empty());
    EXPECT_TRUE(kv::ui::ShapeRuns(TPixmap(4, 3, kKey), kKey).empty());
    EXPECT_EQ(kv::ui::ShapeRuns(TPixmap(3, 2, kInk), kKey), (Runs{{0, 0, 3}, {1, 0, 3}}));
    // Exact colour match only: one step off the key stays in the shape.
    TPixmap near(2, 1, kKey);
    near.Set(1, 0, Rgb(220, 220, 219));
    EXPECT_EQ(kv::ui::ShapeRuns(near, kKey), (Runs{{0, 1, 2}}));
    EXPECT_THROW((void)kv::ui::KeyColour(TPixmap{}), std::invalid_argument);
}

TEST(ShapeRuns, CoversExactlyTheNonKeyPixels) {
    // A deterministic scatter of key pixels, runs checked pixel by pixel.
    TPixmap p(37, 23, kInk);
    std::uint32_t state = 12345;
    int keyCount = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            state = state * 1103515245u + 12345u;
            if ((state >> 16) % 3 == 0) {
                p.Set(x, y, kKey);
                ++keyCount;
            }
        }
    }
    const Runs runs = kv::ui::ShapeRuns(p, kKey);
    int covered = 0;
    for (const TPixelRun& r : runs) {
        EXPECT_LT(r.x0, r.x1);
        covered += r.x1 - r.x0;
    }
    EXPECT_EQ(covered + keyCount, p.width * p.height);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            EXPECT_EQ(kv::ui::RunsContain(runs, x, y), p.At(x, y) != kKey) << x << "," << y;
        }
    }
    EXPECT_FALSE(kv::ui::RunsContain(runs, -1, 0));
    EXPECT_FALSE(kv::ui::RunsContain(runs, 0, p.height));
}

TEST(ArtNames, EveryPictureHasItsOwnId) {
    const char* names[] = {"background",     "logo",         "banner",        "close_idle",
                           "close_down",     "close_hover",  "minimize_idle", "minimize_down",
                           "minimize_hover", "convert_idle", "convert_down",  "convert_hover"};
    std::set<int> ids;
    for (const char* n : names) {
        const int id = kv::ui::ArtId(n);
        EXPECT_NE(id, 0) << n;
        EXPECT_NE(id, IDI_MAINICON) << n;
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), std::size(names));
    EXPECT_EQ(kv::ui::ArtId("close_idle"), IDB_CLOSE_IDLE);
    EXPECT_EQ(kv::ui::ArtId("convert_hover"), IDB_CONVERT_HOVER);
    EXPECT_EQ(kv::ui::ArtId("close"), 0);
    EXPECT_EQ(kv::ui::ArtId(""), 0);
}

}  // namespace
