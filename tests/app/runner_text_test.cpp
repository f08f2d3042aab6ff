#include "app/runner_text.h"

#include <gtest/gtest.h>

#include <set>

#include "win/error.h"
#include "win/utf8.h"

namespace {

using kv::TimeTextToSeconds;

TEST(CommandLine, ProgramBlankParamsEvenWhenParamsEmpty) {
    EXPECT_EQ(kv::BuildCommandLine("C:\\Temp\\open.bat", ""), "C:\\Temp\\open.bat ");
    // The argument line starts with a blank, so there are two between program and -i.
    EXPECT_EQ(kv::BuildCommandLine("C:\\K\\FFMPEG.EXE", " -i \"a.mp4\""), "C:\\K\\FFMPEG.EXE  -i \"a.mp4\"");
}

TEST(CommandLine, ProgramWithBlankIsQuoted) {
    EXPECT_EQ(kv::BuildCommandLine("C:\\Program Files\\K\\ffmpeg.exe", "-y"),
              "\"C:\\Program Files\\K\\ffmpeg.exe\" -y");
    EXPECT_EQ(kv::BuildCommandLine("\"C:\\A B\\x.exe\"", ""), "\"C:\\A B\\x.exe\" ");
}

TEST(FolderPart, WorkingFolderOfProgram) {
    EXPECT_EQ(kv::FolderPart("C:\\users\\me\\Temp\\open.bat"), "C:\\users\\me\\Temp");
    EXPECT_EQ(kv::FolderPart("C:\\x.exe"), "C:\\");
    EXPECT_EQ(kv::FolderPart("C:x.exe"), "C:");
    EXPECT_EQ(kv::FolderPart("x.exe"), "");
    EXPECT_EQ(kv::FolderPart("\\\\srv\\share\\\\x.exe"), "\\\\srv\\share\\\\");
}

TEST(LocateProgram, CurrentFolderFirstThenPathInOrder) {
    std::set<std::string> files{"C:\\b\\tool.exe", "C:\\c\\tool.exe"};
    auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    EXPECT_EQ(kv::LocateProgram("tool.exe", "C:\\a;;C:\\b\\;C:\\c", "C:\\cur", exists), "C:\\b\\tool.exe");
    EXPECT_EQ(kv::LocateProgram("none.exe", "C:\\a;C:\\b", "C:\\cur", exists), "");
    files.insert("tool.exe");
    EXPECT_EQ(kv::LocateProgram("TOOL.EXE", "C:\\b", "C:\\cur\\",
                                [&](const std::string& p) { return kv::SameTextAscii(p, "tool.exe"); }),
              "C:\\cur\\TOOL.EXE");
    EXPECT_EQ(kv::LocateProgram("tool.exe", "D:", "C:\\", [](const std::string& p) { return p == "D:tool.exe"; }),
              "D:tool.exe");
}

TEST(NamePart, DropsOnlyTheLastExtension) {
    EXPECT_EQ(kv::NamePart("clip.part1.mp4"), "clip.part1");
    EXPECT_EQ(kv::NamePart("noext"), "noext");
    EXPECT_EQ(kv::NamePart(".hidden"), "");
    EXPECT_EQ(kv::NamePart("Привет мир.mp4"), "Привет мир");
    EXPECT_EQ(kv::FileNamePart("C:\\a b\\c.d\\x.mp4"), "x.mp4");
}

TEST(CollapseDoubleBackslashes, OnePassLeftToRight) {
    EXPECT_EQ(kv::CollapseDoubleBackslashes("C:\\\\Korvello\\"), "C:\\Korvello\\");
    EXPECT_EQ(kv::CollapseDoubleBackslashes("a\\\\\\b"), "a\\\\b");
    EXPECT_EQ(kv::CollapseDoubleBackslashes("a\\\\\\\\b"), "a\\\\b");
}

TEST(CollapseDoubleBackslashes, AServerPathKeepsItsLeadingPair) {
    // A Documents folder redirected to a server, with the folder name appended as the window does.
    EXPECT_EQ(kv::CollapseDoubleBackslashes("\\\\server\\share\\Documents\\\\Korvello\\"),
              "\\\\server\\share\\Documents\\Korvello\\");
    EXPECT_EQ(kv::CollapseDoubleBackslashes("\\\\srv\\h\\\\x"), "\\\\srv\\h\\x");
    // Three or four at the start are no server path: collapsed like any other run.
    EXPECT_EQ(kv::CollapseDoubleBackslashes("\\\\\\\\x"), "\\\\x");
    EXPECT_EQ(kv::CollapseDoubleBackslashes("\\\\\\x"), "\\\\x");
    EXPECT_EQ(kv::CollapseDoubleBackslashes("\\\\"), "\\\\");
}

TEST(TimeText, MediaReaderFormGivesWholeSeconds) {
    EXPECT_EQ(TimeTextToSeconds("01:02:03.500"), 3723);
    EXPECT_EQ(TimeTextToSeconds("00:03:25.123"), 205);
    EXPECT_EQ(TimeTextToSeconds("00:00:59.999"), 59);
    EXPECT_EQ(TimeTextToSeconds("00:00:00.000"), 0);
    EXPECT_EQ(TimeTextToSeconds("23:59:59.999"), 86399);
    EXPECT_EQ(TimeTextToSeconds(" 1 : 2 : 3 . 4 "), 3723);
    EXPECT_EQ(TimeTextToSeconds("5"), 18000);
    EXPECT_EQ(TimeTextToSeconds("5:30"), 19800);
}

TEST(TimeText, MorningAndAfternoonMarkers) {
    EXPECT_EQ(TimeTextToSeconds("12:00:01 AM"), 1);
    EXPECT_EQ(TimeTextToSeconds("pm 1:00"), 13 * 3600);
    EXPECT_EQ(TimeTextToSeconds("12:30 pm"), 12 * 3600 + 1800);
    EXPECT_THROW(TimeTextToSeconds("13:00 PM"), kv::Error);
    EXPECT_THROW(TimeTextToSeconds("0:00 AM"), kv::Error);
    EXPECT_THROW(TimeTextToSeconds("AM 1:00 PM"), kv::Error);
}

TEST(TimeText, ADurationCountsItsHoursPastADay) {
    EXPECT_EQ(TimeTextToSeconds("24:00:00.000"), 86400);
    EXPECT_EQ(TimeTextToSeconds("25:00:00.128"), 90000);
    EXPECT_EQ(TimeTextToSeconds("100:30:15.999"), 361815);
    // The largest count of hours whose seconds, plus one, still fit; one more is no time.
    EXPECT_EQ(TimeTextToSeconds("596522:59:59.999"), 596522 * 3600 + 3599);
    EXPECT_THROW(TimeTextToSeconds("596523:00:00.000"), kv::Error);
    EXPECT_THROW(TimeTextToSeconds("999999999:00:00"), kv::Error);
}

TEST(TimeText, InvalidTextsRaiseTheConversionError) {
    for (const char* bad : {"", "24:00 PM", "00:60:00.000", "00:00:60.000", "00:00:01.1000", "01,02", "00:00:07,000",
                            "abc", "1:", "1::2", "00:00:07.000x", "9999999999"}) {
        EXPECT_THROW(TimeTextToSeconds(bad), kv::Error) << bad;
    }
    try {
        TimeTextToSeconds("00:00:07,000");
        FAIL();
    } catch (const kv::Error& e) {
        EXPECT_STREQ(e.what(), "'00:00:07,000' is not a valid time");
    }
    try {
        TimeTextToSeconds("");
        FAIL();
    } catch (const kv::Error& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid time");
    }
}

TEST(PassParameters, ExeParameterDiscardsEverythingCollected) {
    EXPECT_EQ(kv::CollectParameters({}), "");
    EXPECT_EQ(kv::CollectParameters({"C:\\v\\a.mp4"}), "C:\\v\\a.mp4 ");
    EXPECT_EQ(kv::CollectParameters({"a.mp4", "b.EXE", "c.mp4"}), "c.mp4 ");
    EXPECT_EQ(kv::CollectParameters({"a.mp4", "x.exe.mp4"}), "");
    // The check is on the collected text, so ".EXE" formed across two parameters counts too.
    EXPECT_EQ(kv::CollectParameters({"a.", "exe"}), "a. exe ");
    EXPECT_EQ(kv::CollectParameters({"a.e", "XE"}), "a.e XE ");
}

TEST(ErrorBox, FullStopAppendedAfterCharactersAboveIt) {
    EXPECT_EQ(kv::ErrorBoxText("Resource MYEX6 not found"), "Resource MYEX6 not found.");
    EXPECT_EQ(kv::ErrorBoxText("done."), "done.");
    EXPECT_EQ(kv::ErrorBoxText("what!"), "what!");
    EXPECT_EQ(kv::ErrorBoxText("'x' is not a valid time"), "'x' is not a valid time.");
    EXPECT_EQ(kv::ErrorBoxText(""), "");
}

}  // namespace

TEST(RunnerText, BatchFilesAreToldByTheirExtensionInAnyCase) {
    for (const char* p : {"C:\\t\\open.bat", "C:\\t\\X.CMD", "a.Bat"}) EXPECT_TRUE(kv::IsBatchFile(p)) << p;
    for (const char* p : {"C:\\t\\ffmpeg.exe", "C:\\t\\bat", "C:\\t\\x.bat.exe", ".ba", ""})
        EXPECT_FALSE(kv::IsBatchFile(p)) << p;
}
