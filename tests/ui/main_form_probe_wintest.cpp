// The duration probe as the window's controller reaches it, with the real
// embedded media reader and stand-ins for a silent or hanging one.
#include <gtest/gtest.h>

#include "app/runner_text.h"
#include "app/settings_win.h"
#include "convert/job_rules.h"
#include "win/text.h"
#include "win/error.h"
#include "support/form_fixture.h"

namespace {

namespace fs = std::filesystem;
using kvtest::FakeReader;
using kvtest::FormAccess;
using kvtest::Runs;
using kvtest::TempFolder;

class MainFormProbe : public kvtest::FormTest {
protected:
    // The reader's first answer line for a path the border check passes; none when it gave none.
    std::optional<std::string> Answer(const std::string& path) {
        const auto checked = kv::CheckPath(path, kv::FileSystemLookup::Instance());
        if (!checked) return std::nullopt;
        return FormAccess::Probe(*f).Answer(*checked);
    }
};

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
        const auto answer = Answer(kvtest::Utf8(kvtest::MediaFile(c.file)));
        ASSERT_TRUE(answer) << c.file;
        EXPECT_EQ(kv::StoredDuration(*answer), c.stored) << c.file << ": " << *answer;
    }
    EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + "open.bat"));
    EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + "duration_time.txt"));
}

// Each unreadable file gives no row and the message that names the problem;
// a readable one beside them shows the reader did run.
TEST_F(MainFormProbe, UnreadableFilesGiveNoTime) {
    TempFolder dir;
    std::size_t boxes = 0;
    for (const char* name : {"zero.mp4", "text.mp4", "no_index.mp4"}) {
        AddFile(kvtest::MediaFile(name), dir.Path() / kv::win::Widen(name));
        EXPECT_EQ(Jobs().Count(), 0) << name << " became a row";
        ASSERT_EQ(p->dialogs->boxes.size(), ++boxes) << name;
        EXPECT_EQ(p->dialogs->boxes.back().text, kv::kBadFileMessage) << name;
    }
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), dir.Path() / L"good.mp4");
    ASSERT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(StoredDuration(0), "5");
    EXPECT_FALSE(Answer("C:\\no such folder\\none.mp4").has_value());
}

TEST_F(MainFormProbe, ProbeAsksOnceMoreWhenTheReaderAnswersNothing) {
    TempFolder dir(L"kv reader");
    const std::string input = kvtest::Utf8(kvtest::MediaFile("aac_mono_48k.mp4"));
    {
        // Silent once, then answering: the second answer counts.
        FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 2));
        const auto answer = Answer(input);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, "00:00:05.000");
        EXPECT_EQ(Runs(dir.Path()), 2);
    }
    {
        // An answer at once: one run only.
        fs::remove(dir.Path() / L"runs.txt");
        FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 1));
        EXPECT_EQ(Answer(input).value_or("none"), "00:00:05.000");
        EXPECT_EQ(Runs(dir.Path()), 1);
    }
    {
        // Never an answer: no time after two runs, and no third.
        fs::remove(dir.Path() / L"runs.txt");
        FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 0));
        EXPECT_FALSE(Answer(input).has_value());
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
    EXPECT_FALSE(Answer(kvtest::Utf8(kvtest::MediaFile("aac_mono_48k.mp4"))).has_value());
    EXPECT_EQ(Runs(dir.Path()), 1);
}

}  // namespace
