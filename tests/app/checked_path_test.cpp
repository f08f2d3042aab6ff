// The border check: what it lets in is an absolute path Windows can hold that
// names something existing; everything else from outside stays out.
#include "app/checked_path.h"

#include <gtest/gtest.h>

#include <string>

#include "support/checked.h"

namespace {

using kv::PathSyntaxProblem;

TEST(BorderCheck, AbsolutePathsOfEveryFormPass) {
    for (const char* p : {"C:\\", "C:\\a.mp4", "d:\\Clips\\", "C:\\Видео\\Лекция 1.mp4",
                          "C:\\😀 & ^ ! ' ( ) , ; = %.mp4", "\\\\server\\share", "\\\\server\\share\\x\\y.mp4",
                          "\\\\?\\C:\\long\\a.mp4", "\\\\?\\UNC\\server\\share\\a.mp4", "C:\\a.b.c", "C:\\.hidden"})
        EXPECT_EQ(PathSyntaxProblem(p), nullptr) << p;
}

TEST(BorderCheck, NamesWindowsCannotHoldAreRefused) {
    const std::string tooLong = "C:\\" + std::string(256, 'x') + ".mp4";
    const std::string longest = "C:\\" + std::string(251, 'x') + ".mp4";
    for (const std::string& p : {std::string(),
                                 std::string("clip.mp4"),
                                 std::string("Clips\\a.mp4"),
                                 std::string("\\Clips\\a.mp4"),
                                 std::string("C:a.mp4"),
                                 std::string("C:"),
                                 std::string("\\\\.\\PhysicalDrive0"),
                                 std::string("\\\\?\\GLOBALROOT\\x"),
                                 std::string("\\\\server"),
                                 std::string("\\\\server\\"),
                                 std::string("\\\\\\x\\y"),
                                 std::string("C:\\x\" & echo pwned > C:\\pwned.txt & \".mp4"),
                                 std::string("C:\\a<b.mp4"),
                                 std::string("C:\\a>b.mp4"),
                                 std::string("C:\\a|b.mp4"),
                                 std::string("C:\\a*.mp4"),
                                 std::string("C:\\a?.mp4"),
                                 std::string("C:\\a/b.mp4"),
                                 std::string("C:\\a.mp4:stream"),
                                 std::string("C:\\a\tb.mp4"),
                                 std::string("C:\\a\r\nb.mp4"),
                                 std::string("C:\\a\\\\b.mp4"),
                                 std::string("C:\\a\\.\\b"),
                                 std::string("C:\\a\\..\\..\\b"),
                                 std::string("C:\\dot.\\b"),
                                 std::string("C:\\blank \\b"),
                                 std::string("C:\\CON"),
                                 std::string("C:\\nul.mp4"),
                                 std::string("C:\\x\\com1.txt"),
                                 std::string("C:\\LPT9 .mp4"),
                                 tooLong,
                                 std::string("C:\\\xC3\x28.mp4"),
                                 std::string("C:\\\xED\xA0\x80.mp4"),
                                 std::string("C:\\\xC0\xAF.mp4")})
        EXPECT_NE(PathSyntaxProblem(p), nullptr) << p;
    EXPECT_EQ(PathSyntaxProblem(longest), nullptr);
    EXPECT_NE(PathSyntaxProblem(longest, 100), nullptr) << "the volume's own limit counts";
    EXPECT_EQ(PathSyntaxProblem("C:\\COM10.mp4"), nullptr) << "only COM0 to COM9 and COM with a superscript";
    EXPECT_EQ(PathSyntaxProblem("C:\\COM\xC2\xBD.mp4"), nullptr) << "a superscript other than 1, 2, 3 is a name";
    // The whole path stays within the system's longest, counted in UTF-16 units.
    std::string deep = "C:";
    while (deep.size() < kv::kMaxPathUnits - 200) deep += "\\" + std::string(200, 'd');
    EXPECT_EQ(PathSyntaxProblem(deep), nullptr);
    EXPECT_NE(PathSyntaxProblem(deep + "\\" + std::string(200, 'e')), nullptr);
}

TEST(BorderCheck, OnlyWhatExistsIsLetIn) {
    kvtest::FakeFileSystem fs;
    fs.files = {"C:\\in\\a.mp4"};
    fs.folders = {"D:\\Clips", "C:\\"};
    const auto file = kv::CheckPath("C:\\in\\a.mp4", fs);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Text(), "C:\\in\\a.mp4");
    EXPECT_FALSE(file->IsFolder());
    const auto folder = kv::CheckPath("D:\\Clips\\", fs);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->Text(), "D:\\Clips") << "a folder loses its final separator";
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_EQ(kv::CheckPath("C:\\", fs)->Text(), "C:\\") << "a drive root keeps it";
    EXPECT_FALSE(kv::CheckPath("C:\\in\\b.mp4", fs)) << "missing";
    EXPECT_FALSE(kv::CheckPath("C:\\in\\a.mp4\\", fs)) << "a file named as a folder is another path";
    fs.files.insert("C:\\in\\x\" & echo pwned.mp4");
    EXPECT_FALSE(kv::CheckPath("C:\\in\\x\" & echo pwned.mp4", fs)) << "the syntax is checked before the file system";
    fs.maxComponent = 4;
    EXPECT_FALSE(kv::CheckPath("C:\\in\\a.mp4", fs)) << "a part longer than the volume takes";
}

TEST(BorderCheck, StoredFolderSettings) {
    EXPECT_TRUE(kv::IsUsableFolderSetting("C:\\Users\\u\\Documents\\Korvello\\"));
    EXPECT_TRUE(kv::IsUsableFolderSetting("\\\\nas\\music"));
    for (const char* bad : {"", " ", "Music", ".\\out", "\\out", "C:out", "C:\\a\\\\b", "C:\\%USERPROFILE%|x"})
        EXPECT_FALSE(kv::IsUsableFolderSetting(bad)) << bad;
}

}  // namespace
