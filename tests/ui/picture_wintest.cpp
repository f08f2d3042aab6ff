// The generated art as the program uses it: from the program's resources, or,
// in a test build without them, from the folder named by KORVELLO_ART_DIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "ui/art_names.h"
#include "ui/dpi.h"
#include "ui/region_button_win.h"
#include "ui/picture_win.h"
#include "ui/art_ids.h"
#include "ui_test_util.h"
#include "win/text.h"

namespace {

using namespace kvuitest;
using kv::ui::Rgb;
using kv::ui::TPixmap;

bool InResources() {
    return ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_CLOSE_IDLE), MAKEINTRESOURCEW(2)) != nullptr;  // RT_BITMAP
}

std::string ArtDir() {
    const char* dir = std::getenv("KORVELLO_ART_DIR");
    if (!dir || !*dir) return {};
    std::string d = dir;
    if (d[0] == '/') d = "Z:" + d;  // a Unix path under Wine: its drive for the root
    return d;
}

// A .bmp file of the art folder; the path is UTF-8.
kv::win::UniqueBitmap LoadBitmapFile(const std::string& path) {
    const std::wstring wide = kv::win::Widen(path);
    return kv::win::UniqueBitmap(static_cast<HBITMAP>(
        ::LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
}

TPixmap LoadArt(const std::string& name) {
    if (InResources()) return kv::ui::PixmapFromBitmap(kv::ui::LoadArtBitmap(kv::ui::ArtId(name)).Get());
    return kv::ui::PixmapFromBitmap(LoadBitmapFile(ArtDir() + "/" + name + ".bmp").Get());
}

class ArtTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InResources() && ArtDir().empty()) GTEST_SKIP() << "art neither in the resources nor in KORVELLO_ART_DIR";
    }
};

constexpr std::uint32_t kFace = Rgb(220, 220, 220);
constexpr std::uint32_t kWhite = Rgb(255, 255, 255);

TEST_F(ArtTest, PicturesHaveTheirLayoutSizes) {
    const struct {
        const char* name;
        int w, h;
    } sizes[] = {{"background", 503, 480},  {"logo", 214, 53},         {"banner", 198, 45},
                 {"close_idle", 23, 23},    {"close_down", 23, 23},    {"close_hover", 23, 23},
                 {"minimize_idle", 23, 23}, {"minimize_down", 23, 23}, {"minimize_hover", 23, 23},
                 {"convert_idle", 41, 42},  {"convert_down", 41, 42},  {"convert_hover", 41, 42}};
    for (const auto& s : sizes) {
        const TPixmap p = LoadArt(s.name);
        EXPECT_EQ(p.width, s.w) << s.name;
        EXPECT_EQ(p.height, s.h) << s.name;
    }
}

TEST_F(ArtTest, SkinAndPicturesShowTheFaceColour) {
    const TPixmap bg = LoadArt("background");
    ASSERT_FALSE(bg.Empty());
    EXPECT_EQ(bg.At(0, 0), kWhite);
    EXPECT_EQ(bg.At(502, 0), kWhite);
    EXPECT_EQ(bg.At(0, 478), kWhite);
    EXPECT_EQ(bg.At(502, 478), kWhite);
    EXPECT_EQ(bg.At(250, 240), kFace);
    EXPECT_NE(bg.At(250, 1), kFace);  // the rim
    for (const char* name : {"logo", "banner"}) EXPECT_EQ(LoadArt(name).At(0, 0), kFace) << name;
}

TEST_F(ArtTest, TitleButtonsAreKeyedOutsideTheirSquare) {
    for (const char* name : {"close_idle", "minimize_idle"}) {
        const TPixmap p = LoadArt(name);
        ASSERT_EQ(p.width, 23) << name;
        EXPECT_EQ(p.At(0, 0), kFace) << name;
        for (int i = 0; i < 23; ++i) {
            EXPECT_EQ(p.At(0, i), kFace) << name << " left column " << i;
            EXPECT_EQ(p.At(22, i), kFace) << name << " right column " << i;
            EXPECT_EQ(p.At(i, 21), kFace) << name << " row 21";
            EXPECT_EQ(p.At(i, 22), kFace) << name << " row 22";
        }
        // The square, corners aside, holds no key colour.
        for (int y = 3; y <= 17; ++y) {
            for (int x = 4; x <= 18; ++x) EXPECT_NE(p.At(x, y), kFace) << name << " " << x << "," << y;
        }
    }
}

TEST_F(ArtTest, ConvertButtonCornersAndBottomRow) {
    const TPixmap idle = LoadArt("convert_idle");
    const TPixmap down = LoadArt("convert_down");
    const TPixmap hover = LoadArt("convert_hover");
    ASSERT_EQ(idle.height, 42);
    for (int x = 0; x < 41; ++x) EXPECT_EQ(idle.At(x, 41), kFace) << x;
    EXPECT_EQ(idle.At(0, 0), kFace);
    EXPECT_EQ(idle.At(40, 40), kFace);
    EXPECT_NE(idle.At(20, 20), kFace);
    EXPECT_EQ(down.At(0, 0), kFace);
    EXPECT_EQ(hover.At(0, 0), Rgb(249, 249, 249));
    EXPECT_EQ(hover.At(40, 0), Rgb(249, 249, 249));
}

TEST_F(ArtTest, CroppedCloseButtonHasTheSquaresShape) {
    TestParent parent;
    kv::ui::TEzRgnBtn btn(nullptr);
    ASSERT_TRUE(btn.Create(parent.Get(), 10, 10, 23, 23));
    btn.SetPicture(kv::ui::psIdle, LoadArt("close_idle"));
    btn.SetPicture(kv::ui::psDown, LoadArt("close_down"));
    btn.SetPicture(kv::ui::psUp, LoadArt("close_hover"));
    btn.SetPaintMode(kv::ui::pmCrop);
    kv::win::UniqueRgn rgn(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(::GetWindowRgn(btn.Handle(), rgn.Get()), ERROR);
    EXPECT_FALSE(::PtInRegion(rgn.Get(), 0, 0));
    EXPECT_FALSE(::PtInRegion(rgn.Get(), 1, 0));    // the rounded corner
    EXPECT_FALSE(::PtInRegion(rgn.Get(), 11, 22));  // the bottom rows
    EXPECT_TRUE(::PtInRegion(rgn.Get(), 11, 10));
    EXPECT_TRUE(::PtInRegion(rgn.Get(), 1, 10));
    EXPECT_TRUE(::PtInRegion(rgn.Get(), 21, 10));
}

TEST_F(ArtTest, ResourcesLoadAsPictureSetsAndIcon) {
    if (!InResources()) GTEST_SKIP() << "art not linked into this build";
    TestParent parent;
    kv::ui::TEzRgnBtn btn(nullptr);
    ASSERT_TRUE(btn.Create(parent.Get(), 10, 10, 41, 42));
    EXPECT_TRUE(btn.LoadPictureSet("convert"));
    EXPECT_EQ(btn.Picture(kv::ui::psUp).At(0, 0), Rgb(249, 249, 249));
    EXPECT_FALSE(btn.Picture(kv::ui::psDown).Empty());
    EXPECT_FALSE(btn.LoadPictureSet("nothing"));
    for (int size : {16, 24, 32}) {
        kv::win::UniqueIcon icon(static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAINICON), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO ii{};
        ASSERT_TRUE(::GetIconInfo(icon.Get(), &ii));
        kv::win::UniqueBitmap colour(ii.hbmColor), mask(ii.hbmMask);
        BITMAP bm{};
        ::GetObjectW(colour.Get(), sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
    }
}

// The larger scales are packed in the resources: unpacked, each is the
// bitmap the art script drew for it, and each keeps its key-coloured corner.
TEST_F(ArtTest, EveryScaleInTheResourcesIsThePictureDrawnForIt) {
    if (!InResources() || ArtDir().empty()) GTEST_SKIP() << "needs the art both linked in and in KORVELLO_ART_DIR";
    const char* names[] = {"background",     "logo",         "banner",        "close_idle",
                           "close_down",     "close_hover",  "minimize_idle", "minimize_down",
                           "minimize_hover", "convert_idle", "convert_down",  "convert_hover"};
    for (const int percent : kv::ui::kArtScales) {
        const std::string suffix = percent == 100 ? "" : "@" + std::to_string(percent);
        for (const char* name : names) {
            SCOPED_TRACE(std::string(name) + suffix);
            const TPixmap linked = kv::ui::PixmapFromBitmap(kv::ui::LoadArtBitmap(kv::ui::ArtId(name, percent)).Get());
            const TPixmap drawn =
                kv::ui::PixmapFromBitmap(LoadBitmapFile(ArtDir() + "/" + name + suffix + ".bmp").Get());
            ASSERT_FALSE(drawn.Empty());
            EXPECT_EQ(drawn.width, kv::ui::Scale(LoadArt(name).width, kv::ui::DpiOfArtScale(percent)));
            EXPECT_TRUE(linked == drawn);
        }
        const TPixmap close =
            kv::ui::PixmapFromBitmap(kv::ui::LoadArtBitmap(kv::ui::ArtId("close_idle", percent)).Get());
        ASSERT_FALSE(close.Empty());
        EXPECT_EQ(close.At(0, 0), kFace) << percent;
        EXPECT_EQ(close.At(close.width - 1, close.height - 1), kFace) << percent;
        EXPECT_NE(close.At(close.width / 2, close.height / 2), kFace) << percent;
    }
}

}  // namespace
