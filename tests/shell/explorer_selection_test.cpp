// Explorer's Windows 11 entry: which selections show it, and the command
// lines that hand a selection to the program, read back as Windows reads them.
#include "shell/explorer_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/argv_rules.h"

namespace {

using kv::shell::ConvertCommandLines;
using kv::shell::SelectedItem;
using kv::shell::ShowsFor;
using Args = std::vector<std::string>;

TEST(ExplorerSelection, ShownForTakenKindsAndFoldersOnly) {
    const std::vector<SelectedItem> taken{
        {"C:\\v\\a.mp4"}, {"C:\\v\\B.MKV"}, {"C:\\v\\song.flac"}, {"C:\\v\\Trip", true}, {"\\\\nas\\share\\c.Webm"}};
    EXPECT_TRUE(ShowsFor(taken));
    for (const char* other : {"C:\\v\\notes.txt", "C:\\v\\done.mp3", "C:\\v\\noext", "C:\\v\\.mp4", ""}) {
        auto mixed = taken;
        mixed.push_back({other});
        EXPECT_FALSE(ShowsFor(mixed)) << other;
    }
    // A folder is shown whatever its name; a file named like a folder is not.
    EXPECT_TRUE(ShowsFor(std::vector<SelectedItem>{{"C:\\photos.zip", true}}));
    EXPECT_FALSE(ShowsFor(std::vector<SelectedItem>{{"C:\\Videos", false}}));
    EXPECT_FALSE(ShowsFor(std::vector<SelectedItem>{}));
}

TEST(ExplorerSelection, FortyFilesMakeOneLineThatGivesEveryPathBack) {
    const std::string exe = "C:\\Users\\Zoë Ann\\AppData\\Local\\Programs\\Korvello\\korvello.exe";
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) paths.push_back("D:\\Videos & more\\clip " + std::to_string(i) + " \"x\".mp4");
    paths.emplace_back("D:\\Folder with trailing separator\\");
    paths.emplace_back("\\\\server\\share\\日本語の動画.mkv");
    const auto lines = ConvertCommandLines(exe, paths);
    ASSERT_EQ(lines.size(), 1U);
    Args expected{exe, "/convert"};
    expected.insert(expected.end(), paths.begin(), paths.end());
    EXPECT_EQ(kvtest::ArgvOf(lines[0]), expected);
}

TEST(ExplorerSelection, ASelectionPastTheLimitSplitsIntoFullLinesInOrder) {
    const std::string exe = "C:\\K\\korvello.exe";
    std::vector<std::string> paths;
    for (int i = 0; i < 3000; ++i) paths.push_back("C:\\a rather long folder name\\file " + std::to_string(i) + ".mp4");
    const auto lines = ConvertCommandLines(exe, paths);
    ASSERT_GT(lines.size(), 1U);
    std::vector<std::string> back;
    for (const auto& line : lines) {
        EXPECT_LE(kv::shell::Utf16Length(line), kv::shell::kMaxCommandLine);
        const Args args = kvtest::ArgvOf(line);
        ASSERT_GE(args.size(), 3U);
        EXPECT_EQ(args[1], "/convert");
        back.insert(back.end(), args.begin() + 2, args.end());
    }
    EXPECT_EQ(back, paths);
    // Every line but the last is as full as the limit allows: the next path did not fit.
    const std::size_t step = kv::shell::Utf16Length(" \"" + paths[0] + "\"") + 2;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_GT(kv::shell::Utf16Length(lines[i]) + step, kv::shell::kMaxCommandLine);
}

TEST(ExplorerSelection, PathsThatCannotFitOrAreEmptyAreLeftOut) {
    const std::vector<std::string> paths{"", std::string(40000, 'x'), "C:\\a.mp4"};
    const auto lines = ConvertCommandLines("C:\\k.exe", paths);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(kvtest::ArgvOf(lines[0]), (Args{"C:\\k.exe", "/convert", "C:\\a.mp4"}));
    EXPECT_TRUE(ConvertCommandLines("C:\\k.exe", std::vector<std::string>{}).empty());
}

TEST(ExplorerSelection, TheLimitCountsUtf16Units) {
    EXPECT_EQ(kv::shell::Utf16Length("abc"), 3U);
    EXPECT_EQ(kv::shell::Utf16Length("Zoë"), 3U);               // two bytes, one unit
    EXPECT_EQ(kv::shell::Utf16Length("日本"), 2U);              // three bytes each, one unit
    EXPECT_EQ(kv::shell::Utf16Length("\xF0\x9F\x8E\xB5"), 2U);  // beyond the first plane: a pair
}

}  // namespace
