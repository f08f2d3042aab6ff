#include "ui/look.h"

#include <gtest/gtest.h>

namespace {

using kv::ui::Appearance;
using kv::ui::Rgb;

TEST(Appearance, HighContrastOutranksDarkAndOnlyZeroMeansDark) {
    EXPECT_EQ(kv::ui::PickLook(true, 0U), Appearance::HighContrast);
    EXPECT_EQ(kv::ui::PickLook(true, std::nullopt), Appearance::HighContrast);
    EXPECT_EQ(kv::ui::PickLook(false, 0U), Appearance::Dark);
    EXPECT_EQ(kv::ui::PickLook(false, 1U), Appearance::Skin);
    EXPECT_EQ(kv::ui::PickLook(false, 2U), Appearance::Skin) << "any other value is light";
    EXPECT_EQ(kv::ui::PickLook(false, std::nullopt), Appearance::Skin) << "missing: light";
}

// Every text drawn over a palette reads at 4.5:1 at least.
TEST(Appearance, EveryTextOfBothPalettesReadsAtFourAndAHalfToOne) {
    EXPECT_NEAR(kv::ui::ContrastRatio(Rgb(0, 0, 0), Rgb(255, 255, 255)), 21.0, 1e-9);
    EXPECT_NEAR(kv::ui::ContrastRatio(Rgb(119, 119, 119), Rgb(255, 255, 255)), 4.48, 0.01);
    for (const Appearance look : {Appearance::Skin, Appearance::Dark}) {
        const auto& p = kv::ui::SkinPalette(look);
        for (const auto text : {p.text, p.link, p.bannerTitle, p.bannerLine})
            EXPECT_GE(kv::ui::ContrastRatio(text, p.face), 4.5) << std::hex << text;
        for (const auto text : {p.listText, p.listLink})
            EXPECT_GE(kv::ui::ContrastRatio(text, p.listBack), 4.5) << std::hex << text;
    }
    EXPECT_NE(kv::ui::SkinPalette(Appearance::Dark).face, kv::ui::SkinPalette(Appearance::Skin).face);
}

// A light button with a dark cross: the key stays, the edge is the frame, the
// cross the glyph and the rest the face.
TEST(Appearance, AButtonInSystemColoursKeepsItsShape) {
    const auto key = Rgb(220, 220, 220), fill = Rgb(240, 240, 240), ink = Rgb(58, 63, 70);
    kv::ui::TPixmap art(7, 7, key);
    for (int y = 1; y < 6; ++y)
        for (int x = 1; x < 6; ++x) art.Set(x, y, fill);
    art.Set(3, 3, ink);
    art.Set(2, 2, Rgb(150, 150, 150));                                   // antialiasing: nearer the face
    const kv::ui::ButtonColours c{Rgb(0, 0, 0), Rgb(255, 255, 0), key};  // a glyph of the key's own colour
    const auto hc = kv::ui::HighContrastPicture(art, true, c);
    EXPECT_EQ(kv::ui::ShapeRuns(hc, kv::ui::KeyColour(hc)), kv::ui::ShapeRuns(art, key)) << "the same shape";
    EXPECT_EQ(hc.At(0, 0), key);
    EXPECT_EQ(hc.At(1, 3), c.frame);
    EXPECT_EQ(hc.At(2, 2), c.face);
    EXPECT_EQ(hc.At(4, 4), c.face);
    EXPECT_NE(hc.At(3, 3), key) << "never a hole";
    EXPECT_EQ(hc.At(3, 3) | 1U, key | 1U);
    // A light glyph on a blue face, as the convert button's note.
    art.Set(3, 3, Rgb(255, 255, 255));
    for (int y = 1; y < 6; ++y)
        for (int x = 1; x < 6; ++x)
            if (x != 3 || y != 3) art.Set(x, y, Rgb(38, 104, 178));
    const auto note = kv::ui::HighContrastPicture(art, false, {Rgb(0, 0, 0), Rgb(255, 255, 0), Rgb(0, 255, 0)});
    EXPECT_EQ(note.At(3, 3), Rgb(0, 255, 0));
    EXPECT_EQ(note.At(2, 3), Rgb(0, 0, 0));
    EXPECT_TRUE(kv::ui::HighContrastPicture({}, true, c).Empty());
}

}  // namespace
