// The duration probe as the window reaches it (main_form_probe.cpp), with the
// real embedded media reader and stand-ins for a silent or hanging one.
#include <gtest/gtest.h>

#include "app/runner_text.h"
#include "app/settings_win.h"
#include "win/error.h"
#include "support/form_fixture.h"

namespace {

namespace fs = std::filesystem;
using kvtest::FakeReader;
using kvtest::FormAccess;
using kvtest::Runs;
using kvtest::TempFolder;

using MainFormProbe = kvtest::FormTest;

TEST_F(MainFormProbe, ProbeReadsDurationsOfRealFiles) {
    struct Case {
        const char* file;
        int stored;
    } cases[] = {{"aac_stereo_video.mp4", 7},
                 {"aac_mono_48k.mp4", 5},
                 {"aac_51.mp4", 5},
                 {"mp3_in_mp4.mp4", 5},
                 {"long_120s.mp4", 121}};
    for (const auto& c : cases) {
        const auto answer = f->ProbeAnswer(kvtest::Utf8(kvtest::MediaFile(c.file)));
        ASSERT_TRUE(answer) << c.file;
        EXPECT_EQ(kv::TfrmMain::ProbeDuration(*answer), c.stored) << c.file << ": " << *answer;
    }
    EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + "open.bat"));
    EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + "duration_time.txt"));
}

TEST_F(MainFormProbe, UnreadableFilesGiveNoTime) {
    for (const char* name : {"zero.mp4", "text.mp4", "no_index.mp4"}) {
        const auto answer = f->ProbeAnswer(kvtest::Utf8(kvtest::MediaFile(name)));
        if (answer) {
            EXPECT_THROW(kv::TfrmMain::ProbeDuration(*answer), kv::Error) << name << ": " << *answer;
        }
    }
    EXPECT_FALSE(f->ProbeAnswer("C:\\no such folder\\none.mp4").has_value());
}

TEST_F(MainFormProbe, ProbeAsksOnceMoreWhenTheReaderAnswersNothing) {
    TempFolder dir(L"kv reader");
    const std::string input = kvtest::Utf8(kvtest::MediaFile("aac_mono_48k.mp4"));
    {
        // Silent once, then answering: the second answer counts.
        FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 2));
        const auto answer = f->ProbeAnswer(input);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, "00:00:05.000");
        EXPECT_EQ(Runs(dir.Path()), 2);
    }
    {
        // An answer at once: one run only.
        fs::remove(dir.Path() / L"runs.txt");
        FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 1));
        EXPECT_EQ(f->ProbeAnswer(input).value_or("none"), "00:00:05.000");
        EXPECT_EQ(Runs(dir.Path()), 1);
    }
    {
        // Never an answer: no time after two runs, and no third.
        fs::remove(dir.Path() / L"runs.txt");
        FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 0));
        EXPECT_FALSE(f->ProbeAnswer(input).has_value());
        EXPECT_EQ(Runs(dir.Path()), 2);
    }
    EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + "open.bat"));
    EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + "duration_time.txt"));
}

TEST_F(MainFormProbe, ProbeEndedForItsTimeIsNotRepeated) {
    TempFolder dir(L"kv reader");
    const fs::path bat = dir.Path() / L"reader.bat";
    kvtest::WriteBytes(bat, "@echo off\r\necho run>>\"%~dp0runs.txt\"\r\n\"" +
                                kvtest::Utf8(kvtest::ProgramFolder() / L"kv_child.exe") + "\" --sleep 30000\r\n");
    FormAccess::MediaInfoPath(*f) = kvtest::Utf8(bat);
    FormAccess::Probe(*f).TimeLimitMs = 1500;
    EXPECT_FALSE(f->ProbeAnswer(kvtest::Utf8(kvtest::MediaFile("aac_mono_48k.mp4"))).has_value());
    EXPECT_EQ(Runs(dir.Path()), 1);
}

}  // namespace
