// The duration probe against a fake platform: scripted reader runs, a console
// code page that can or cannot spell a path, short names that exist or not.
#include "convert/duration_probe.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "convert/job_rules.h"
#include "support/checked.h"
#include "win/error.h"

namespace {

using kv::DurationProbe;

const std::string kTemp = "C:\\Temp\\";
const std::string kAnswer = kTemp + "duration_time.txt";

class FakeProbePlatform : public kv::IProbePlatform {
public:
    // One reader run: whether it outlived its limit, and what it left in the answer file (nothing: no file).
    struct Run {
        bool timedOut = false;
        std::optional<std::string> answer;
    };
    std::deque<Run> script;
    std::map<std::string, std::string> shortNames;  // paths with a short form
    bool codePageExact = true;

    std::map<std::string, std::string> files;
    std::vector<std::string> batchesRun;
    std::vector<std::string> directRuns;  // the reader's arguments
    std::vector<std::uint32_t> limits;
    std::vector<std::string> shown;

    std::string ShortName(const std::string& path) override {
        auto it = shortNames.find(path);
        return it == shortNames.end() ? path : it->second;
    }
    bool ToConsoleCodePage(const std::string& utf8, std::string& bytes) override {
        bytes = utf8;
        return codePageExact;
    }
    void WriteFile(const std::string& path, const std::string& bytes) override { files[path] = bytes; }
    bool RunBatch(const std::string& batPath, std::uint32_t limitMs) override {
        batchesRun.push_back(files.at(batPath));
        limits.push_back(limitMs);
        if (script.empty()) ADD_FAILURE() << "the reader ran more often than scripted";
        const Run run = script.empty() ? Run{} : script.front();
        if (!script.empty()) script.pop_front();
        if (run.answer) files[AnswerPathIn(files.at(batPath))] = *run.answer;
        return run.timedOut;
    }
    bool RunReader(const std::string& reader, const std::string& args, const std::string& outputPath,
                   std::uint32_t limitMs) override {
        EXPECT_EQ(reader, readerPath);
        directRuns.push_back(args);
        limits.push_back(limitMs);
        if (script.empty()) ADD_FAILURE() << "the reader ran more often than scripted";
        const Run run = script.empty() ? Run{} : script.front();
        if (!script.empty()) script.pop_front();
        if (run.answer) files[outputPath] = *run.answer;
        return run.timedOut;
    }
    std::string readerPath;
    std::optional<std::string> ReadFile(const std::string& path, std::string& why) override {
        auto it = files.find(path);
        if (it == files.end()) {
            why = "The system cannot find the file specified.";
            return std::nullopt;
        }
        return it->second;
    }
    void DeleteFile(const std::string& path) override { files.erase(path); }

    // Where the reader writes: the batch file's "fileout", short forms seen as
    // the long paths they name, as the file system does.
    std::string AnswerPathIn(const std::string& batch) const {
        const std::string tag = "set fileout=\"";
        const auto at = batch.find(tag);
        if (at == std::string::npos) return {};
        std::string out = batch.substr(at + tag.size(), batch.find('"', at + tag.size()) - at - tag.size());
        for (const auto& [longForm, shortForm] : shortNames)
            if (out.starts_with(shortForm)) out = longForm + out.substr(shortForm.size());
        return out;
    }
    void ShowProbeText(const std::string& text) override { shown.push_back(text); }
};

class Probe : public ::testing::Test {
protected:
    FakeProbePlatform platform;
    std::string tempDir = kTemp;
    std::string reader = "C:\\Users\\Ann\\AppData\\Roaming\\Korvello\\MEDIAI~1.EXE";
    DurationProbe probe{platform, tempDir, reader};

    void SetUp() override { platform.readerPath = reader; }
};

TEST_F(Probe, AGoodFileIsReadOnceAndLeavesNoFilesBehind) {
    platform.script = {{false, "00:00:04.500\r\n"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\in\\clip.mp4")), "00:00:04.500");
    ASSERT_EQ(platform.batchesRun.size(), 1u);
    const std::string& batch = platform.batchesRun[0];
    EXPECT_NE(batch.find("set filein=\"C:\\in\\clip.mp4\""), std::string::npos) << batch;
    EXPECT_NE(batch.find("set fileout=\"" + kAnswer + "\""), std::string::npos) << batch;
    EXPECT_NE(batch.find("set mediainfo=\"" + reader + "\""), std::string::npos) << batch;
    EXPECT_EQ(platform.limits[0], 60000u);
    EXPECT_TRUE(platform.files.empty()) << "open.bat or the answer file left";
    // The store is cleared, then shows the batch text, then the answer.
    ASSERT_EQ(platform.shown.size(), 3u);
    EXPECT_EQ(platform.shown[0], "");
    EXPECT_EQ(platform.shown[1], batch);
    EXPECT_EQ(platform.shown[2], "00:00:04.500\r\n");
}

// Side by side, each slot has files of its own; a raw AAC stream is read to
// its end, whichever way the reader runs.
TEST_F(Probe, EachSlotHasItsOwnFilesAndARawAacStreamIsReadWhole) {
    DurationProbe third{platform, tempDir, reader, 2};
    platform.script = {{false, "00:00:04.032"}, {false, "00:00:04.000"}};
    EXPECT_EQ(third.Answer(kvtest::Checked("C:\\in\\radio.aac")), "00:00:04.032");
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\in\\clip.m4a")), "00:00:04.000");
    ASSERT_EQ(platform.batchesRun.size(), 2u);
    EXPECT_NE(platform.batchesRun[0].find("set fileout=\"" + std::string(kTemp) + "duration_time3.txt\""),
              std::string::npos)
        << platform.batchesRun[0];
    EXPECT_NE(platform.batchesRun[0].find("%mediainfo% --ParseSpeed=1 --Inform="), std::string::npos);
    EXPECT_EQ(platform.batchesRun[1].find("ParseSpeed"), std::string::npos) << "other files are read as before";
    EXPECT_TRUE(platform.files.empty()) << "open3.bat or its answer left";
    EXPECT_TRUE(DurationProbe::DirectArgs(kvtest::Checked("C:\\in\\radio.AAC")).starts_with("--ParseSpeed=1 "));
    // A slot of the pool runs the reader directly, into its own answer file.
    third.AlwaysDirect = true;
    platform.script = {{false, "00:00:02.000"}};
    EXPECT_EQ(third.Answer(kvtest::Checked("C:\\in\\plain.mkv")), "00:00:02.000");
    EXPECT_EQ(platform.batchesRun.size(), 2u) << "no batch file for it";
    ASSERT_EQ(platform.directRuns.size(), 1u);
    EXPECT_TRUE(platform.directRuns[0].ends_with("plain.mkv\"")) << platform.directRuns[0];
    EXPECT_TRUE(platform.files.empty()) << "its answer file left";
    EXPECT_TRUE(DurationProbe::DirectArgs(kvtest::Checked("C:\\in\\a.mp4")).starts_with("--Inform="));
}

TEST_F(Probe, TheFoldersAreReadAtEachProbeNotWhenTheProbeIsMade) {
    tempDir = "D:\\Later\\";
    platform.script = {{false, "00:00:01.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\a.mp4")), "00:00:01.000");
    EXPECT_NE(platform.batchesRun.at(0).find("D:\\Later\\duration_time.txt"), std::string::npos);
}

TEST_F(Probe, AnEmptyAnswerIsAskedOnceMoreThenTakenAsUnreadable) {
    platform.script = {{false, ""}, {false, "00:01:00.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\in\\flaky.mp4")), "00:01:00.000");
    EXPECT_EQ(platform.batchesRun.size(), 2u);

    platform.batchesRun.clear();
    platform.script = {{false, ""}, {false, ""}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\in\\bad.mp4")), std::nullopt);
    EXPECT_EQ(platform.batchesRun.size(), 2u);
    EXPECT_TRUE(platform.files.empty());
}

TEST_F(Probe, AMissingAnswerFileIsRetriedThenReportedByName) {
    platform.script = {{false, std::nullopt}, {false, "00:00:02.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\a.mp4")), "00:00:02.000");

    platform.script = {{false, std::nullopt}, {false, std::nullopt}};
    try {
        (void)probe.Answer(kvtest::Checked("C:\\a.mp4"));
        FAIL() << "no error for a missing answer file";
    } catch (const kv::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + kAnswer + "\". The system cannot find the file specified.");
    }
}

TEST_F(Probe, AReaderEndedForItsTimeIsNotRunAgain) {
    probe.TimeLimitMs = 1500;
    platform.script = {{true, ""}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\hangs.mp4")), std::nullopt);
    EXPECT_EQ(platform.batchesRun.size(), 1u);
    EXPECT_EQ(platform.limits.at(0), 1500u);

    platform.script = {{true, std::nullopt}};
    EXPECT_THROW((void)probe.Answer(kvtest::Checked("C:\\hangs.mp4")), kv::Error);
    EXPECT_EQ(platform.batchesRun.size(), 2u);
}

TEST_F(Probe, APathTheBatchFileCannotCarryGoesToTheReaderDirectly) {
    // Outside the console code page with no short form (a volume without 8.3 names).
    const std::string cjk = "E:\\clips\\\xE6\x97\xA5\xE6\x9C\xAC.mp4";
    platform.script = {{false, "00:00:04.000\r\n"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked(cjk)), "00:00:04.000");
    EXPECT_TRUE(platform.batchesRun.empty());
    ASSERT_EQ(platform.directRuns.size(), 1u);
    EXPECT_EQ(platform.directRuns[0], "--Inform=General;%Duration/String3% \"" + cjk + "\"");
    EXPECT_TRUE(platform.files.empty()) << "the answer file must not be left";

    // A "%" that even the short form keeps, as a short-name lookup that finds the same name.
    const std::string odd = "C:\\in\\odd\\a b%c&d^e!f'(g).mp4";
    platform.shortNames = {{odd, "C:\\in\\odd\\A_B%~SLA.MP4"}};
    platform.script = {{false, "00:00:05.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked(odd)), "00:00:05.000");
    EXPECT_EQ(platform.directRuns.at(1), "--Inform=General;%Duration/String3% \"" + odd + "\"");
}

// With delayed expansion switched on for the user, "!" would be special in
// the batch file: such a name, and one the batch file cannot carry at all,
// goes to the reader directly.
TEST_F(Probe, ANameWithAnExclamationMarkSkipsTheBatchFile) {
    const std::string bang = "C:\\in\\Hey!Listen!.mp4";
    platform.script = {{false, "00:00:06.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked(bang)), "00:00:06.000");
    EXPECT_TRUE(platform.batchesRun.empty());
    EXPECT_EQ(platform.directRuns.at(0), "--Inform=General;%Duration/String3% \"" + bang + "\"");
}

// A reader that could not be written and checked at start is never run.
TEST_F(Probe, WithoutAReaderNothingRunsAndTheUserIsToldWhy) {
    std::string none;
    DurationProbe without{platform, tempDir, none};
    try {
        (void)without.Answer(kvtest::Checked("C:\\a.mp4"));
        ADD_FAILURE() << "no error";
    } catch (const kv::Error& e) {
        EXPECT_EQ(std::string(e.what()), kv::kToolsUnavailableMessage);
    }
    EXPECT_TRUE(platform.batchesRun.empty());
    EXPECT_TRUE(platform.directRuns.empty());
}

TEST_F(Probe, TheDirectRouteRetriesAsTheBatchRouteDoes) {
    const std::string name = "C:\\in\\100%.mp4";
    platform.script = {{false, ""}, {false, "00:00:02.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked(name)), "00:00:02.000");
    EXPECT_EQ(platform.directRuns.size(), 2u);
    platform.script = {{true, std::nullopt}};
    EXPECT_THROW((void)probe.Answer(kvtest::Checked(name)), kv::Error);
    EXPECT_EQ(platform.directRuns.size(), 3u) << "a reader ended for its time is not run again";
}

TEST_F(Probe, AnExactCodePageKeepsTheBatchRouteAndAnInexactOneLeavesIt) {
    // The reader's own path holds a letter: fine while the code page spells it.
    reader = "C:\\Users\\\xC3\x85sa\\AppData\\Roaming\\Korvello\\mediainfo.exe";
    platform.readerPath = reader;
    platform.script = {{false, "00:00:01.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\a.mp4")), "00:00:01.000");
    EXPECT_EQ(platform.batchesRun.size(), 1u);
    platform.codePageExact = false;
    platform.script = {{false, "00:00:01.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\a.mp4")), "00:00:01.000");
    EXPECT_EQ(platform.batchesRun.size(), 1u);
    EXPECT_EQ(platform.directRuns.size(), 1u);
}

TEST_F(Probe, APathBeyondTheClassicLengthReachesTheReaderInItsExtendedForm) {
    const std::string deep = "C:\\" + std::string(135, 'x') + "\\" + std::string(135, 'x') + ".mp4";  // no short form
    platform.script = {{false, "00:00:03.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked(deep)), "00:00:03.000");
    EXPECT_EQ(platform.directRuns.at(0), "--Inform=General;%Duration/String3% \"\\\\?\\" + deep + "\"");
}

TEST_F(Probe, TheShortFormIsUsedOnlyWhenItIsSafer) {
    const std::string cyrillic = "C:\\in\\\xD0\x9B\xD0\xB5\xD0\xBA\xD1\x86\xD0\xB8\xD1\x8F.mp4";
    const std::string percents = "C:\\in\\100%%.mp4";
    const std::string longPath = "C:\\" + std::string(270, 'a') + ".mp4";
    platform.shortNames = {{cyrillic, "C:\\in\\7B1F~1.MP4"},
                           {percents, "C:\\in\\100_~1.MP4"},
                           {longPath, "C:\\AAAAAA~1.MP4"},
                           {"C:\\in\\plain.mp4", "C:\\in\\PLAIN~1.MP4"}};
    EXPECT_EQ(probe.PathForm("C:\\in\\plain.mp4"), "C:\\in\\plain.mp4");  // nothing to gain
    EXPECT_EQ(probe.PathForm(cyrillic), "C:\\in\\7B1F~1.MP4");
    EXPECT_EQ(probe.PathForm(percents), "C:\\in\\100_~1.MP4");
    EXPECT_EQ(probe.PathForm(longPath), "C:\\AAAAAA~1.MP4");
    // A volume without short names gives the path back: it is used as it is.
    const std::string noShort = "E:\\clips\\\xD0\x9B.mp4";
    EXPECT_EQ(probe.PathForm(noShort), noShort);
    // A short form that still holds a "%" is no better than one "%" fewer.
    platform.shortNames[percents] = "C:\\in\\10%%~1.MP4";
    EXPECT_EQ(probe.PathForm(percents), percents);
}

TEST_F(Probe, TheBatchFileCarriesTheSaferFormsOfInputAndTempFolder) {
    tempDir = "C:\\Users\\\xD0\x90\xD0\xBD\xD0\xBD\\Temp\\";
    platform.shortNames = {{tempDir, "C:\\Users\\9D1C~1\\Temp\\"}};
    platform.script = {{false, "00:00:03.000"}};
    EXPECT_EQ(probe.Answer(kvtest::Checked("C:\\a.mp4")), "00:00:03.000");
    EXPECT_TRUE(platform.files.empty());
    const std::string& batch = platform.batchesRun.at(0);
    EXPECT_NE(batch.find("set fileout=\"C:\\Users\\9D1C~1\\Temp\\duration_time.txt\""), std::string::npos) << batch;
}

}  // namespace
