// The extended form of long paths: when it is given, and that it names the
// same file the system would have found with the plain form.
#include "win/long_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kv::ExtendedLengthPath;

// A folder name of n letters.
std::string Part(std::size_t n, char c = 'a') { return std::string(n, c); }

TEST(LongPath, ShortPathsAreLeftAsTheyAre) {
    EXPECT_EQ(ExtendedLengthPath("C:\\music\\a.mp3"), "C:\\music\\a.mp3");
    EXPECT_EQ(ExtendedLengthPath("C:/music/../a.mp3"), "C:/music/../a.mp3");
    EXPECT_EQ(ExtendedLengthPath(""), "");
    // The threshold is counted in UTF-16 units, not bytes: 200 Cyrillic letters
    // are 400 bytes but 200 units.
    const std::string cyrillic = "C:\\" + [] {
        std::string s;
        for (int i = 0; i < 200; ++i) s += "\xD0\x96";
        return s;
    }();
    EXPECT_EQ(ExtendedLengthPath(cyrillic), cyrillic);
}

TEST(LongPath, TheBoundaryIsTheLongestFolderPathTheSystemTakes) {
    const std::size_t from = kv::LongPathFrom(kv::PathFor::Folder);
    ASSERT_EQ(from, 248u);
    const std::string below = "C:\\" + Part(from - 4);  // 247 units
    ASSERT_EQ(below.size(), from - 1);
    EXPECT_EQ(ExtendedLengthPath(below), below);
    const std::string at = below + "b";
    EXPECT_EQ(ExtendedLengthPath(at), "\\\\?\\" + at);
    EXPECT_EQ(ExtendedLengthPath(at, {}, kv::PathFor::Folder), "\\\\?\\" + at);
}

// A path for the other file functions (a find pattern, a file to open) keeps
// its plain form up to the classic MAX_PATH.
TEST(LongPath, APathForAFileKeepsItsPlainFormBelowTheClassicLength) {
    const std::size_t from = kv::LongPathFrom(kv::PathFor::File);
    ASSERT_EQ(from, 260u);
    const std::string below = "C:\\" + Part(from - 4);  // 259 units
    ASSERT_EQ(below.size(), from - 1);
    EXPECT_EQ(ExtendedLengthPath(below, {}, kv::PathFor::File), below);
    EXPECT_EQ(ExtendedLengthPath(below, {}, kv::PathFor::Folder), "\\\\?\\" + below) << "a folder's limit is lower";
    const std::string at = below + "b";
    EXPECT_EQ(ExtendedLengthPath(at, {}, kv::PathFor::File), "\\\\?\\" + at);
}

TEST(LongPath, ALongFindPatternIsCleanedAndKeepsItsWildcards) {
    const auto forFile = [](const std::string& p) { return ExtendedLengthPath(p, {}, kv::PathFor::File); };
    EXPECT_EQ(forFile("C:\\Music\\*.mp4"), "C:\\Music\\*.mp4");
    const std::string longName = Part(300, 'n');
    EXPECT_EQ(forFile("C:\\" + longName + "\\..\\x/./" + longName + "\\*.mp4"),
              "\\\\?\\C:\\x\\" + longName + "\\*.mp4");
    EXPECT_EQ(forFile("\\\\server\\share\\" + longName + "\\*.*"), "\\\\?\\UNC\\server\\share\\" + longName + "\\*.*");
    const std::string done = "\\\\?\\C:\\" + longName + "\\*.*";
    EXPECT_EQ(forFile(done), done);
}

TEST(LongPath, DrivePathsGetTheExtendedFormCleanedAsTheSystemWould) {
    const std::string deep = Part(250);
    EXPECT_EQ(ExtendedLengthPath("C:\\out\\" + deep + "\\x.mp3"), "\\\\?\\C:\\out\\" + deep + "\\x.mp3");
    EXPECT_EQ(ExtendedLengthPath("d:/out//" + deep + "/./x.mp3"), "\\\\?\\d:\\out\\" + deep + "\\x.mp3");
    EXPECT_EQ(ExtendedLengthPath("C:\\out\\skip\\..\\" + deep + "\\x.mp3"), "\\\\?\\C:\\out\\" + deep + "\\x.mp3");
    // ".." never climbs above the drive.
    EXPECT_EQ(ExtendedLengthPath("C:\\..\\..\\" + deep), "\\\\?\\C:\\" + deep);
    // Trailing dots and blanks of a part are dropped, as the plain form does.
    EXPECT_EQ(ExtendedLengthPath("C:\\" + deep + "\\clip. .mp3. "), "\\\\?\\C:\\" + deep + "\\clip. .mp3");
    // A folder keeps its closing separator.
    EXPECT_EQ(ExtendedLengthPath("C:\\" + deep + "\\"), "\\\\?\\C:\\" + deep + "\\");
}

TEST(LongPath, ServerPathsGetTheUncFormAndKeepTheirShare) {
    const std::string deep = Part(250);
    EXPECT_EQ(ExtendedLengthPath("\\\\server\\share\\" + deep + "\\x.mp3"),
              "\\\\?\\UNC\\server\\share\\" + deep + "\\x.mp3");
    EXPECT_EQ(ExtendedLengthPath("\\\\server\\share\\..\\..\\" + deep), "\\\\?\\UNC\\server\\share\\" + deep);
    EXPECT_EQ(ExtendedLengthPath("//server/share/" + deep), "\\\\?\\UNC\\server\\share\\" + deep);
}

TEST(LongPath, RelativePathsAreResolvedOnlyAgainstAKnownFolder) {
    const std::string deep = Part(250);
    EXPECT_EQ(ExtendedLengthPath(deep + "\\x.mp3"), deep + "\\x.mp3");
    EXPECT_EQ(ExtendedLengthPath(deep + "\\x.mp3", "C:\\work"), "\\\\?\\C:\\work\\" + deep + "\\x.mp3");
    EXPECT_EQ(ExtendedLengthPath("..\\" + deep, "C:\\work\\sub\\"), "\\\\?\\C:\\work\\" + deep);
    EXPECT_EQ(ExtendedLengthPath(deep, "\\\\srv\\docs\\me"), "\\\\?\\UNC\\srv\\docs\\me\\" + deep);
    // Rooted at the current drive, or relative to a drive's own current folder: the system's to resolve.
    EXPECT_EQ(ExtendedLengthPath("\\" + deep, "C:\\work"), "\\" + deep);
    EXPECT_EQ(ExtendedLengthPath("C:" + deep, "C:\\work"), "C:" + deep);
}

TEST(LongPath, ExtendedAndDevicePathsAreNotTouched) {
    const std::string deep = Part(260);
    EXPECT_EQ(ExtendedLengthPath("\\\\?\\C:\\" + deep), "\\\\?\\C:\\" + deep);
    EXPECT_EQ(ExtendedLengthPath("\\\\?\\UNC\\s\\h\\" + deep), "\\\\?\\UNC\\s\\h\\" + deep);
    EXPECT_EQ(ExtendedLengthPath("\\\\.\\pipe\\" + deep), "\\\\.\\pipe\\" + deep);
}

// Found by fuzzing: a server path whose share is missing, or is dots the
// clean-up drops, has no root to keep; it is left to the system rather than
// letting its next part stand in for the share.
TEST(LongPath, AServerPathWithoutAShareIsLeftAsItIs) {
    const std::string deep(300, 'd');
    for (const std::string& p : {"\\\\server" + deep, "\\\\server\\....\\..\\" + deep, "\\\\server\\ . \\x\\" + deep,
                                 "\\\\..\\share\\" + deep})
        EXPECT_EQ(ExtendedLengthPath(p), p);
    const std::string rel = "clips\\" + deep;
    EXPECT_EQ(ExtendedLengthPath(rel, "\\\\server"), rel) << "a current folder without a share resolves nothing";
    EXPECT_EQ(ExtendedLengthPath(rel, "\\\\server\\share"), "\\\\?\\UNC\\server\\share\\" + rel);
}

}  // namespace
