#include "convert/job_rules.h"
#include "win/utf8.h"

#include <gtest/gtest.h>

#include <set>

#include "app/runner_text.h"
#include "support/checked.h"
#include "win/error.h"

namespace {

using kv::JobState;
using kv::ListClick;
using kv::ListClickRule;

constexpr std::array<int, 4> kWidths{40, 154, 65, 156};  // boundaries at 40, 194, 259, 415

TEST(ListClickRule, StrictColumnBoundaries) {
    EXPECT_EQ(ListClickRule(40, kWidths, JobState::Pending), ListClick::None);
    EXPECT_EQ(ListClickRule(41, kWidths, JobState::Pending), ListClick::OpenInputFile);
    EXPECT_EQ(ListClickRule(193, kWidths, JobState::Done), ListClick::OpenInputFile);
    EXPECT_EQ(ListClickRule(194, kWidths, JobState::Done), ListClick::None);
    EXPECT_EQ(ListClickRule(259, kWidths, JobState::Done), ListClick::None);
    EXPECT_EQ(ListClickRule(260, kWidths, JobState::Done), ListClick::OpenOutputFolder);
    EXPECT_EQ(ListClickRule(414, kWidths, JobState::Done), ListClick::OpenOutputFolder);
    EXPECT_EQ(ListClickRule(415, kWidths, JobState::Pending), ListClick::None);
    EXPECT_EQ(ListClickRule(416, kWidths, JobState::Pending), ListClick::RemovePending);
    EXPECT_EQ(ListClickRule(2000, kWidths, JobState::Pending), ListClick::RemovePending);
}

TEST(ListClickRule, StatusDecidesRemovalAndOpeningTheFolder) {
    EXPECT_EQ(ListClickRule(420, kWidths, JobState::Running), ListClick::None);
    EXPECT_EQ(ListClickRule(420, kWidths, JobState::Done), ListClick::None);
    EXPECT_EQ(ListClickRule(420, kWidths, JobState::Skipped), ListClick::None);
    EXPECT_EQ(ListClickRule(300, kWidths, JobState::Skipped), ListClick::None);
    EXPECT_EQ(ListClickRule(300, kWidths, JobState::Pending), ListClick::None);
    EXPECT_EQ(ListClickRule(300, kWidths, JobState::Failed), ListClick::None);   // the converted-file column
    EXPECT_EQ(ListClickRule(20, kWidths, JobState::Pending), ListClick::None);   // Type column
    EXPECT_EQ(ListClickRule(220, kWidths, JobState::Pending), ListClick::None);  // Progress column
    // Columns resized by the user move the boundaries.
    EXPECT_EQ(ListClickRule(30, {10, 30, 65, 156}, JobState::Done), ListClick::OpenInputFile);
}

TEST(ListClickRule, AFailedProgressCellTellsWhy) {
    EXPECT_EQ(ListClickRule(220, kWidths, JobState::Failed), ListClick::ShowFailure);
    EXPECT_EQ(ListClickRule(195, kWidths, JobState::Failed), ListClick::ShowFailure);
    EXPECT_EQ(ListClickRule(258, kWidths, JobState::Failed), ListClick::ShowFailure);
    EXPECT_EQ(ListClickRule(194, kWidths, JobState::Failed), ListClick::None);
    EXPECT_EQ(ListClickRule(259, kWidths, JobState::Failed), ListClick::None);
    EXPECT_EQ(ListClickRule(220, kWidths, JobState::Done), ListClick::None);
    EXPECT_EQ(ListClickRule(100, kWidths, JobState::Failed), ListClick::OpenInputFile);
}

TEST(ProbeBatch, FourCrLfLinesWithQuotedPaths) {
    const std::string t =
        kv::ProbeBatchText("C:\\v\\a b&c.mp4", "C:\\T\\duration_time.txt", "C:\\K\\MEDIAI~1.EXE").value();
    EXPECT_EQ(t,
              "set filein=\"C:\\v\\a b&c.mp4\"\r\n"
              "set fileout=\"C:\\T\\duration_time.txt\"\r\n"
              "set mediainfo=\"C:\\K\\MEDIAI~1.EXE\"\r\n"
              "%mediainfo% --Inform=General;%%Duration/String3%% %filein% > %fileout%\r\n");
}

TEST(ProbeBatch, PercentSignsReachTheToolUnchanged) {
    const std::string t = kv::ProbeBatchText("C:\\v\\100%.mp4", "C:\\%TEMP%\\d.txt", "m.exe").value();
    EXPECT_NE(t.find("set filein=\"C:\\v\\100%%.mp4\"\r\n"), std::string::npos);
    EXPECT_NE(t.find("set fileout=\"C:\\%%TEMP%%\\d.txt\"\r\n"), std::string::npos);
}

TEST(ProbeAnswer, LinesAsInAnyTextFile) {
    EXPECT_EQ(kv::FirstLine(""), std::nullopt);
    EXPECT_EQ(kv::FirstLine("\r\n"), std::optional<std::string>(""));
    EXPECT_EQ(kv::FirstLine("00:00:07.000\r\n"), std::optional<std::string>("00:00:07.000"));
    EXPECT_EQ(kv::FirstLine("00:00:07.000"), std::optional<std::string>("00:00:07.000"));
    EXPECT_EQ(kv::FirstLine("00:01:00.000\nsecond\n"), std::optional<std::string>("00:01:00.000"));
}

TEST(ProbeAnswer, StoredDurationIsWholeSecondsPlusOne) {
    EXPECT_EQ(kv::StoredDuration("00:00:00.000"), 1);
    EXPECT_EQ(kv::StoredDuration("00:00:59.999"), 60);
    EXPECT_EQ(kv::StoredDuration("00:03:25.123"), 206);
    EXPECT_EQ(kv::StoredDuration("25:00:00.128"), 90001);  // a recording of a day and an hour
    EXPECT_THROW(kv::StoredDuration("00:00:07,000"), kv::Error);
    EXPECT_THROW(kv::StoredDuration(""), kv::Error);
}

TEST(DisplayName, NoFolderNoLastExtension) {
    EXPECT_EQ(kv::DisplayName("C:\\a.b\\clip.part1.mp4"), "clip.part1");
    EXPECT_EQ(kv::DisplayName("C:\\v\\noext"), "noext");
    EXPECT_EQ(kv::BadFolderFileMessage("x y.mp4"),
              "Cannot process file x y.mp4 Bad file header or bad characters in filename! Please use different file.");
}

TEST(OutputPath, ExtensionReplacedFolderJoinedAndTrimmed) {
    EXPECT_EQ(kv::OutputPathFor("C:\\Out", "D:\\in\\clip.part1.mp4"), "C:\\Out\\clip.part1.mp3");
    EXPECT_EQ(kv::OutputPathFor("C:\\Out\\", "D:\\in\\clip.mp4"), "C:\\Out\\\\clip.mp3");
    EXPECT_EQ(kv::OutputPathFor("C:\\Out", "D:\\in.dir\\noext"), "C:\\Out\\noext.mp3");
    EXPECT_EQ(kv::OutputPathFor("  C:\\Out", "D:\\in\\x.mp4 "), "C:\\Out\\x.mp3");
}

TEST(FfmpegArgs, FixedLineAroundBothPaths) {
    EXPECT_EQ(
        kv::FfmpegArgsFor(kvtest::Checked("D:\\in\\a b.mp4"), "C:\\Out\\a b.mp3"),
        " -discard:V all -i \"D:\\in\\a b.mp4\" -y -deinterlace -ar 44100 -ab 128 -ac 2 -f mp3 \"C:\\Out\\a b.mp3\"");
}

TEST(PartialOutput, BesideTheMp3UnderANameNoMp3Has) {
    EXPECT_EQ(kv::PartialOutputPath("C:\\Out\\a b.mp3", "1f-3"), "C:\\Out\\a b.mp3.1f-3.korvello-part");
    EXPECT_EQ(kv::PartialOutputPath("\\\\srv\\share\\x.mp3", "7"), "\\\\srv\\share\\x.mp3.7.korvello-part");
    // A name at the volume's limit gives way to the tag alone; the limit
    // counts UTF-16 units, so a Cyrillic name of 250 letters is at it.
    const std::string longName(248, 'n');
    EXPECT_EQ(kv::PartialOutputPath("C:\\Out\\" + longName + ".mp3", "7"), "C:\\Out\\~korvello.7.korvello-part");
    std::string cyrillic;
    for (int i = 0; i < 235; ++i) cyrillic += "\xD0\xB6";  // 235 units, 470 bytes
    EXPECT_EQ(kv::PartialOutputPath("C:\\O\\" + cyrillic + ".mp3", "7"), "C:\\O\\" + cyrillic + ".mp3.7.korvello-part");
    EXPECT_EQ(kv::PartialOutputPath("C:\\O\\" + cyrillic + "\xF0\x9F\x8E\xB5.mp3", "7"),
              "C:\\O\\~korvello.7.korvello-part")
        << "an emoji takes two units";
}

TEST(Progress, ExpectedSizeAndPercent) {
    EXPECT_EQ(kv::ExpectedSizeFor(206, kv::Mp3Quality::Kbps128), 206 * 16384);
    EXPECT_EQ(kv::ExpectedSizeFor(10, kv::Mp3Quality::Kbps320), 400000) << "other rates count the nominal bytes";
    EXPECT_EQ(kv::ExpectedSizeFor(8, kv::Mp3Quality::V0), 245000);
    const std::int64_t expected = 206 * 16384;
    EXPECT_EQ(kv::PercentOf(expected / 2, expected), 50);
    EXPECT_EQ(kv::PercentOf(expected / 2 - 1, expected), 49);
    EXPECT_EQ(kv::PercentOf(expected * 3, expected), 300);
    EXPECT_EQ(kv::PercentText(42), "42% Done");
    // 40 hours of audio: the sizes pass 2^31 and must not wrap.
    const std::int64_t longExpected = kv::ExpectedSizeFor(40 * 3600 + 1, kv::Mp3Quality::Kbps128);
    EXPECT_EQ(longExpected, std::int64_t{144001} * 16384);
    EXPECT_GT(longExpected, std::int64_t{1} << 31);
    EXPECT_EQ(kv::PercentOf(longExpected - 1, longExpected), 99);
    EXPECT_EQ(kv::PercentOf(10, 0), 0);
}

TEST(FreeOutputPath, LaterRowsOfOneRunGetNumberedNames) {
    std::set<std::string> taken;
    const auto isTaken = [&](const std::string& p) { return taken.count(kv::UpperAscii(p)) > 0; };
    EXPECT_EQ(kv::FreeOutputPath("C:\\O\\a.mp3", isTaken), "C:\\O\\a.mp3");
    taken.insert("C:\\O\\A.MP3");
    EXPECT_EQ(kv::FreeOutputPath("C:\\O\\A.mp3", isTaken), "C:\\O\\A (2).mp3");
    taken.insert("C:\\O\\A (2).MP3");
    EXPECT_EQ(kv::FreeOutputPath("C:\\O\\a.mp3", isTaken), "C:\\O\\a (3).mp3");
    // Every name taken: the candidate, and no endless search.
    EXPECT_EQ(kv::FreeOutputPath("C:\\O\\b.mp3", [](const std::string&) { return true; }), "C:\\O\\b.mp3");
}

// Names of 250 to 255 units, ASCII and with letters outside the basic plane:
// every numbered name still fits the volume's limit, and no character is cut in two.
TEST(FreeOutputPath, NumberedNamesNearTheLimitStillFit) {
    const std::string smile = "\xF0\x9F\x98\x80";  // two UTF-16 units
    for (std::size_t units = 250; units <= 255; ++units) {
        for (const std::string& unit : {std::string("a"), std::string("\xC3\xA9"), smile}) {
            std::string stem;
            while (kv::Utf16Length(stem) + kv::Utf16Length(unit) + 4 <= units) stem += unit;
            const std::string path = "C:\\O\\" + stem + ".mp3";
            std::set<std::string> taken{path};
            const auto isTaken = [&](const std::string& p) { return taken.count(p) > 0; };
            for (int n = 2; n <= 11; ++n) {
                const std::string next = kv::FreeOutputPath(path, isTaken);
                const std::string name = next.substr(5);
                EXPECT_LE(kv::Utf16Length(name), kv::kMaxNameUnits) << units << " " << n;
                EXPECT_TRUE(name.ends_with(" (" + std::to_string(n) + ").mp3")) << name;
                // Whole characters only: the stem is a run of the unit.
                const std::string kept = name.substr(0, name.rfind(" ("));
                EXPECT_EQ(kept.size() % unit.size(), 0u) << name;
                EXPECT_EQ(kept.substr(0, unit.size()), unit);
                taken.insert(next);
            }
        }
    }
    // A name with no extension that passes the limit with ".mp3" is shortened too.
    EXPECT_EQ(kv::Utf16Length(kv::FitName("C:\\O\\" + std::string(255, 'x') + ".mp3").substr(5)), 255u);
    // No blank or dot left at the cut, which Windows would drop.
    const std::string dotted = "C:\\O\\" + std::string(245, 'x') + ". y.mp3";
    EXPECT_EQ(kv::FitName(dotted, 4), "C:\\O\\" + std::string(245, 'x') + ".mp3");
}

}  // namespace

namespace {

// A temporary MP3's name says whose it is; only names of that form are ever swept.
TEST(PartTag, TheNameSaysWhichPcAndProcessWroteIt) {
    const kv::PartTag tag{0x00c0ffee, 0x1a2b, 0x1db5c3e2f4a6b70, 42};
    EXPECT_EQ(kv::PartTagText(tag), "00c0ffee-1a2b-1db5c3e2f4a6b70-42");
    const std::string part = kv::PartialOutputPath("C:\\O\\song.mp3", kv::PartTagText(tag));
    EXPECT_EQ(kv::PartTagOf(kv::FileNamePart(part)), tag);
    EXPECT_EQ(kv::PartTagOf("song.mp3." + kv::PartTagText(tag) + "-3.korvello-part"), tag) << "a second name";
    EXPECT_EQ(kv::PartTagOf("~korvello." + kv::PartTagText(tag) + ".korvello-part"), tag) << "a long name's";
    // Names of no PC: an earlier build's, and anything else that ends the same way.
    for (const char* other :
         {"song.mp3", "song.korvello-part", ".00c0ffee-1-2-3.korvello-part", "a.mp3.1a2b-7.korvello-part",
          "a.mp3.1a2b-1db5c3e2f4a6b70-7.korvello-part", "a.mp3.c0ffee-1-2-3.korvello-part",
          "a.mp3.00000000-1-2-3.korvello-part", "a.mp3.00c0ffee-0-2-3.korvello-part",
          "a.mp3.00c0ffee-1-2-3-4-5.korvello-part", "a.mp3.00c0ffee-123456789-2-3.korvello-part",
          "a.mp3.00C0FFEE-1-2-3.korvello-part", "a.mp3.00c0ffee-1--3.korvello-part",
          "a.mp3.00c0ffee-1-2-3.korvello-part.txt", "a.mp3.00c0ffee-1-2-3-x.korvello-part"})
        EXPECT_FALSE(kv::PartTagOf(other)) << other;
    // The PC's part: the same name gives the same tag, and no name gives 0 (no PC's).
    EXPECT_EQ(kv::HostTag("desk.example.org"), kv::HostTag("desk.example.org"));
    EXPECT_NE(kv::HostTag("desk.example.org"), kv::HostTag("laptop.example.org"));
    EXPECT_NE(kv::HostTag(""), 0u);
}

TEST(PartFolders, TheLastFoldersAreRememberedNewestFirst) {
    std::string stored;
    for (int i = 0; i < 10; ++i) stored = kv::WithPartFolder(stored, "C:\\Out\\" + std::to_string(i));
    const auto folders = kv::PartFoldersFrom(stored);
    ASSERT_EQ(folders.size(), kv::kMaxPartFolders);
    EXPECT_EQ(folders.front(), "C:\\Out\\9");
    EXPECT_EQ(folders.back(), "C:\\Out\\2");
    stored = kv::WithPartFolder(stored, "c:\\out\\5");
    EXPECT_EQ(kv::PartFoldersFrom(stored).front(), "c:\\out\\5");
    EXPECT_EQ(kv::PartFoldersFrom(stored).size(), kv::kMaxPartFolders) << "one folder once";
    // Anything else stored there is not a folder to sweep.
    EXPECT_EQ(kv::PartFoldersFrom("relative|C:\\ok||\\\\server\\share\\x|C:\\bad?|"),
              (std::vector<std::string>{"C:\\ok", "\\\\server\\share\\x"}));
}

}  // namespace
