// Text at the system's border: file paths for the W functions, the system's
// own words for an error code, and its case-blind comparison.
#include "win/text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/win_test_util.h"

namespace {

namespace fs = std::filesystem;
using kv::PathFor;
using kv::win::FilePath;
using kv::win::Widen;

TEST(SystemText, AnErrorCodeGetsTheSystemsWordsTrimmed) {
    const std::string text = kv::win::SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text, "Error 2");
    EXPECT_GT(static_cast<unsigned char>(text.front()), ' ') << text;
    EXPECT_GT(static_cast<unsigned char>(text.back()), ' ') << "the line break is kept: " << text;
    EXPECT_NE(text, kv::win::SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(SystemText, ACodeTheSystemHasNoWordsForIsNamedByItsNumber) {
    // The customer bit: no system message has it.
    EXPECT_EQ(kv::win::SystemErrorText(0x20001234), "Error 536875572");
}

TEST(SystemText, CaseIsFoldedAsTheFileSystemFoldsIt) {
    EXPECT_TRUE(kv::win::SameTextAnyCase(L"FFMPEG.EXE", L"ffmpeg.exe"));
    EXPECT_TRUE(kv::win::SameTextAnyCase(L"\u00C9T\u00C9.MP3", L"\u00E9t\u00E9.mp3")) << "not only A to Z";
    EXPECT_TRUE(kv::win::SameTextAnyCase(L"", L""));
    EXPECT_FALSE(kv::win::SameTextAnyCase(L"", L"a"));
    EXPECT_FALSE(kv::win::SameTextAnyCase(L"clip.mp3", L"clip.mp4"));
    EXPECT_FALSE(kv::win::SameTextAnyCase(L"clip.mp3", L"clip.mp3 "));
}

TEST(SystemText, AFilePathKeepsItsPlainFormUntilItsUsesLimit) {
    const std::string folder = "C:\\" + std::string(250, 'f');  // between the two limits
    EXPECT_EQ(FilePath("C:\\Music\\a.mp3"), L"C:\\Music\\a.mp3");
    EXPECT_EQ(FilePath(folder, PathFor::File), Widen(folder));
    EXPECT_EQ(FilePath(folder, PathFor::Folder), L"\\\\?\\" + Widen(folder));
    EXPECT_EQ(FilePath(folder), L"\\\\?\\" + Widen(folder)) << "a path of unknown use keeps the lower limit";
}

TEST(SystemText, ALongRelativePathIsResolvedAgainstTheCurrentFolder) {
    kvtest::TempFolder dir(L"kv text");
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    const std::string rel = "sub\\" + std::string(300, 'r') + "\\..\\clip.mp3";
    const std::wstring got = FilePath(rel, PathFor::File);
    fs::current_path(before);
    EXPECT_EQ(got, L"\\\\?\\" + dir.Path().wstring() + L"\\sub\\clip.mp3");
}

}  // namespace
