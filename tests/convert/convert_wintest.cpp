// The job list, the probe, the add commands, the output folder and the
// conversion run, in-process against the real embedded tools and real MP4 files.
#include <gtest/gtest.h>

#include <windowsx.h>

#include <algorithm>
#include <filesystem>

#include "win/error.h"
#include "app/runner_text.h"
#include "app/settings.h"
#include "components/FindFile.h"
#include "convert/job_rules.h"
#include "support/program.h"
#include "support/form_access.h"
#include "win/text.h"

namespace {

namespace fs = std::filesystem;
using kvtest::Program;
using kvtest::TempFolder;

class Convert : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kvtest::MediaAvailable()) << "KV_MEDIA_DIR must name the folder tests/make_media.sh filled";
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvello");
        p = std::make_unique<Program>();
        f = p->form.get();
    }
    void TearDown() override { p.reset(); }

    // Copies a test file to `target` and adds it with "Add MP4 File".
    void AddFile(const fs::path& source, const fs::path& target) {
        fs::create_directories(target.parent_path());
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        p->dialogs->openAnswers.push_back(kvtest::Utf8(target));
        try {
            f->Button1Click();
        } catch (const std::exception& e) {
            ADD_FAILURE() << kvtest::Utf8(target) << ": " << e.what();
        }
    }
    kv::JobList& Jobs() { return f->Jobs(); }
    void ExpectAligned() {
        const int n = Jobs().Count();
        EXPECT_EQ(::SendMessageW(f->Control("ListBox1"), LB_GETCOUNT, 0, 0), n);
        EXPECT_EQ(::SendMessageW(f->Control("ListBox2"), LB_GETCOUNT, 0, 0), n);
    }
    void Select(int row) {
        ListView_SetItemState(Jobs().ListView(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    bool RunToEnd(DWORD ms = 180000) {
        return kvtest::PumpUntil([&] { return !kvtest::FormAccess::Run(*f).Busy; }, ms);
    }

    std::unique_ptr<Program> p;
    kv::TfrmMain* f = nullptr;
};

TEST_F(Convert, ProbeReadsDurationsOfRealFiles) {
    struct Case {
        const char* file;
        int stored;
    } cases[] = {{"aac_stereo_video.mp4", 7}, {"aac_mono_48k.mp4", 5}, {"aac_51.mp4", 5}, {"mp3_in_mp4.mp4", 5},
                 {"long_120s.mp4", 121}};
    for (const auto& c : cases) {
        const auto answer = f->ProbeAnswer(kvtest::Utf8(kvtest::MediaFile(c.file)));
        ASSERT_TRUE(answer) << c.file;
        EXPECT_EQ(kv::TfrmMain::ProbeDuration(*answer), c.stored) << c.file << ": " << *answer;
    }
    EXPECT_FALSE(kv::FileExists(kvtest::FormAccess::TempDir(*f) + "open.bat"));
    EXPECT_FALSE(kv::FileExists(kvtest::FormAccess::TempDir(*f) + "duration_time.txt"));
}

TEST_F(Convert, UnreadableFilesGiveNoTime) {
    for (const char* name : {"zero.mp4", "text.mp4", "no_index.mp4"}) {
        const auto answer = f->ProbeAnswer(kvtest::Utf8(kvtest::MediaFile(name)));
        if (answer) {
            EXPECT_THROW(kv::TfrmMain::ProbeDuration(*answer), kv::Error) << name << ": " << *answer;
        }
    }
    EXPECT_FALSE(f->ProbeAnswer("C:\\no such folder\\none.mp4").has_value());
}

// A stand-in media reader: a batch file that notes each run in runs.txt and
// answers with `answer` from its n-th run on (never when n is 0).
fs::path FakeReader(const fs::path& dir, int answersFrom, const char* answer = "00:00:05.000") {
    std::string t = "@echo off\r\necho run>>\"%~dp0runs.txt\"\r\n";
    if (answersFrom > 0) {
        t += "set /a n=0\r\nfor /f %%l in ('type \"%~dp0runs.txt\"') do set /a n+=1\r\n";
        t += "if %n% GEQ " + std::to_string(answersFrom) + " echo " + answer + "\r\n";
    }
    const fs::path bat = dir / L"reader.bat";
    kvtest::WriteBytes(bat, t);
    return bat;
}
int Runs(const fs::path& dir) {
    const std::string log = kvtest::ReadBytes(dir / L"runs.txt");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

TEST_F(Convert, ProbeAsksOnceMoreWhenTheReaderAnswersNothing) {
    TempFolder dir(L"kv reader");
    const std::string input = kvtest::Utf8(kvtest::MediaFile("aac_mono_48k.mp4"));
    {
        // Silent once, then answering: the second answer counts.
        kvtest::FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 2));
        const auto answer = f->ProbeAnswer(input);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, "00:00:05.000");
        EXPECT_EQ(Runs(dir.Path()), 2);
    }
    {
        // An answer at once: one run only.
        fs::remove(dir.Path() / L"runs.txt");
        kvtest::FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 1));
        EXPECT_EQ(f->ProbeAnswer(input).value_or("none"), "00:00:05.000");
        EXPECT_EQ(Runs(dir.Path()), 1);
    }
    {
        // Never an answer: no time after two runs, and no third.
        fs::remove(dir.Path() / L"runs.txt");
        kvtest::FormAccess::MediaInfoPath(*f) = kvtest::Utf8(FakeReader(dir.Path(), 0));
        EXPECT_FALSE(f->ProbeAnswer(input).has_value());
        EXPECT_EQ(Runs(dir.Path()), 2);
    }
    EXPECT_FALSE(kv::FileExists(kvtest::FormAccess::TempDir(*f) + "open.bat"));
    EXPECT_FALSE(kv::FileExists(kvtest::FormAccess::TempDir(*f) + "duration_time.txt"));
}

TEST_F(Convert, ProbeEndedForItsTimeIsNotRepeated) {
    TempFolder dir(L"kv reader");
    const fs::path bat = dir.Path() / L"reader.bat";
    kvtest::WriteBytes(bat, "@echo off\r\necho run>>\"%~dp0runs.txt\"\r\n\"" +
                                kvtest::Utf8(kvtest::ProgramFolder() / L"kv_child.exe") + "\" --sleep 30000\r\n");
    kvtest::FormAccess::MediaInfoPath(*f) = kvtest::Utf8(bat);
    kvtest::FormAccess::Probe(*f).TimeLimitMs = 1500;
    EXPECT_FALSE(f->ProbeAnswer(kvtest::Utf8(kvtest::MediaFile("aac_mono_48k.mp4"))).has_value());
    EXPECT_EQ(Runs(dir.Path()), 1);
}

TEST_F(Convert, AddFileTakesAwkwardNamesUnchanged) {
    TempFolder dir(L"kv add");
    const fs::path src = kvtest::MediaFile("aac_mono_48k.mp4");
    const std::vector<fs::path> names{
        dir.Path() / L"a b&c^!'(),;=x.mp4",
        dir.Path() / L"100% sure %PATH%.mp4",
        dir.Path() / L"Привет мир.mp4",
        dir.Path() / L"Ελληνικά 日本語 🎵.mp4",
        dir.Path() / std::wstring(120, L'd') / std::wstring(120, L'e') / L"long name past the old limit.mp4",
    };
    for (const auto& n : names) AddFile(src, n);
    EXPECT_TRUE(p->dialogs->boxes.empty()) << p->dialogs->boxes[0].text;
    ASSERT_EQ(Jobs().Count(), static_cast<int>(names.size()));
    for (int i = 0; i < Jobs().Count(); ++i) {
        EXPECT_EQ(Jobs().Path(i), kvtest::Utf8(names[static_cast<size_t>(i)]));
        EXPECT_EQ(Jobs().Duration(i), "5");
        EXPECT_EQ(Jobs().Cell(i, 0), "MP4");
        EXPECT_EQ(Jobs().Cell(i, 1), kv::DisplayName(Jobs().Path(i)));
        EXPECT_EQ(Jobs().Progress(i), "Pending");
        EXPECT_EQ(Jobs().Converted(i), "");
        EXPECT_EQ(Jobs().Cell(i, 4), "X");
    }
    EXPECT_EQ(f->ControlText("Edit1"), kvtest::Utf8(names.back()));
    EXPECT_EQ(p->dialogs->openRequests[0].filter, "MP4 Files|*.mp4");
    EXPECT_EQ(p->dialogs->openRequests[0].defaultExtension, "mp4");
}

TEST_F(Convert, AddFileReportsUnusableFilesAndAddsNothing) {
    p->dialogs->openAnswers.push_back(kvtest::Utf8(kvtest::MediaFile("zero.mp4")));
    f->Button1Click();
    ASSERT_EQ(p->dialogs->boxes.size(), 1u);
    EXPECT_EQ(p->dialogs->boxes[0].text, "Cannot process this file! Bad file header! Please use different file.");
    EXPECT_EQ(p->dialogs->boxes[0].caption, "Korvello");
    EXPECT_EQ(p->dialogs->boxes[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(Jobs().Count(), 0);
    EXPECT_EQ(f->ControlText("Edit1"), "");
    // Cancelling the dialog changes nothing.
    f->Button1Click();
    EXPECT_EQ(Jobs().Count(), 0);
    ExpectAligned();
}

TEST_F(Convert, AddFolderStopsAtTheFirstUnusableFile) {
    TempFolder dir(L"kv folder");
    const fs::path good = kvtest::MediaFile("aac_mono_48k.mp4");
    for (const wchar_t* n : {L"1.mp4", L"2.mp4", L"4.mp4"}) fs::copy_file(good, dir.Path() / n);
    fs::copy_file(kvtest::MediaFile("zero.mp4"), dir.Path() / L"3 bad.mp4");
    fs::create_directories(dir.Path() / L"sub");
    fs::copy_file(good, dir.Path() / L"sub" / L"5.mp4");
    kvtest::WriteBytes(dir.Path() / L"notes.txt", "x");

    const std::string folder = kvtest::Utf8(dir.Path());
    p->dialogs->folderAnswers.push_back(folder);
    f->Button2Click();
    ASSERT_EQ(p->dialogs->folderAsks.size(), 1u);
    EXPECT_EQ(p->dialogs->folderAsks[0].title, "Select Output Folder");
    EXPECT_EQ(p->dialogs->folderAsks[0].initial, "");
    EXPECT_FALSE(p->dialogs->folderAsks[0].allowNew);
    EXPECT_EQ(kvtest::FormAccess::Adder(*f).LastFolder(), folder);
    EXPECT_EQ(f->ControlText("Edit2"), folder);

    // Rows for the files found before the bad one, in the finder's order.
    const auto& found = kvtest::FormAccess::FindFile1(*f).Files();
    ASSERT_EQ(found.size(), 4u);
    size_t before = 0;
    while (before < found.size() && kv::FileNamePart(found[before]) != "3 bad.mp4") ++before;
    ASSERT_LT(before, found.size());
    EXPECT_EQ(Jobs().Count(), static_cast<int>(before));
    for (size_t i = 0; i < before; ++i) EXPECT_EQ(Jobs().Path(static_cast<int>(i)), found[i]);
    ASSERT_EQ(p->dialogs->boxes.size(), 1u);
    EXPECT_EQ(p->dialogs->boxes[0].text, kv::BadFolderFileMessage("3 bad.mp4"));
    ExpectAligned();

    // The next picker starts at the folder added last.
    f->Button2Click();
    EXPECT_EQ(p->dialogs->folderAsks.back().initial, folder);
}

TEST_F(Convert, FolderWithoutMp4FilesAddsNothingSilently) {
    TempFolder dir;
    kvtest::WriteBytes(dir.Path() / L"a.txt", "x");
    p->dialogs->folderAnswers.push_back(kvtest::Utf8(dir.Path()));
    f->Button2Click();
    EXPECT_EQ(Jobs().Count(), 0);
    EXPECT_TRUE(p->dialogs->boxes.empty());
    EXPECT_EQ(kvtest::FormAccess::Adder(*f).LastFolder(), kvtest::Utf8(dir.Path()));
}

TEST_F(Convert, DroppedFilesAndFoldersAreAddedLikeTheButtonsDo) {
    TempFolder dir;
    const fs::path good = kvtest::MediaFile("aac_mono_48k.mp4");
    fs::copy_file(good, dir.Path() / L"single.MP4");
    fs::create_directories(dir.Path() / L"folder");
    fs::copy_file(good, dir.Path() / L"folder" / L"in folder.mp4");
    kvtest::WriteBytes(dir.Path() / L"ignored.txt", "x");
    f->AddDroppedPaths({kvtest::Utf8(dir.Path() / L"ignored.txt"), kvtest::Utf8(dir.Path() / L"single.MP4"),
                        kvtest::Utf8(dir.Path() / L"folder")});
    ASSERT_EQ(Jobs().Count(), 2);
    EXPECT_EQ(Jobs().Cell(0, 1), "single");
    EXPECT_EQ(Jobs().Cell(1, 1), "in folder");
    kvtest::FormAccess::Run(*f).Busy = true;
    f->AddDroppedPaths({kvtest::Utf8(dir.Path() / L"single.MP4")});
    EXPECT_EQ(Jobs().Count(), 2);
    kvtest::FormAccess::Run(*f).Busy = false;
}

TEST_F(Convert, CommandsDoNothingWhileBusy) {
    kvtest::FormAccess::Run(*f).Busy = true;
    f->Button1Click();
    f->Button2Click();
    f->Button3Click();
    EXPECT_TRUE(p->dialogs->openRequests.empty());
    EXPECT_TRUE(p->dialogs->folderAsks.empty());
    kvtest::FormAccess::Run(*f).Busy = false;
}

TEST_F(Convert, EditBoxesDropTypedCharacters) {
    f->SetControlText("Edit3", "C:\\out");
    for (const char* name : {"Edit1", "Edit2", "Edit3"}) {
        const std::string before = f->ControlText(name);
        ::SendMessageW(f->Control(name), WM_CHAR, 'a', 0);
        ::SendMessageW(f->Control(name), WM_CHAR, VK_BACK, 0);
        EXPECT_EQ(f->ControlText(name), before) << name;
    }
}

TEST_F(Convert, DeleteKeyRemovesAnyRowAndKeepsListsAligned) {
    const fs::path src = kvtest::MediaFile("aac_mono_48k.mp4");
    TempFolder dir;
    for (const wchar_t* n : {L"a.mp4", L"b.mp4", L"c.mp4"}) AddFile(src, dir.Path() / n);
    Jobs().SetProgress(1, "Done");
    Select(1);
    WORD key = 'A';
    f->ListView1KeyDown(key, 0);
    EXPECT_EQ(Jobs().Count(), 3);
    key = VK_DELETE;
    f->ListView1KeyDown(key, 0);
    ASSERT_EQ(Jobs().Count(), 2);
    EXPECT_EQ(Jobs().Cell(1, 1), "c");
    EXPECT_EQ(kv::FileNamePart(Jobs().Path(1)), "c.mp4");
    ExpectAligned();
    // Nothing selected: nothing happens.
    ListView_SetItemState(Jobs().ListView(), -1, 0, LVIS_SELECTED);
    f->ListView1KeyDown(key, 0);
    EXPECT_EQ(Jobs().Count(), 2);
}

TEST_F(Convert, RowClicksFollowTheColumnsAndTheStatus) {
    const fs::path src = kvtest::MediaFile("aac_mono_48k.mp4");
    TempFolder dir;
    AddFile(src, dir.Path() / L"a.mp4");
    AddFile(src, dir.Path() / L"b.mp4");
    f->Show();
    kvtest::PumpFor(200);
    HWND list = Jobs().ListView();
    RECT item;
    ListView_GetItemRect(list, 0, &item, LVIR_BOUNDS);
    auto clickAt = [&](int row, int x) {
        Select(row);
        ListView_GetItemRect(list, row, &item, LVIR_BOUNDS);
        POINT screen{x, (item.top + item.bottom) / 2};
        ::ClientToScreen(list, &screen);
        ::SetCursorPos(screen.x, screen.y);
        kvtest::PumpFor(50);
        f->ListView1Click();
    };
    clickAt(0, 100);  // file name column
    ASSERT_EQ(p->dialogs->opened.size(), 1u);
    EXPECT_EQ(p->dialogs->opened[0], Jobs().Path(0));
    clickAt(0, 300);  // converted-file column of a pending row
    EXPECT_EQ(p->dialogs->opened.size(), 1u);
    Jobs().SetProgress(0, "Done");
    clickAt(0, 300);
    ASSERT_EQ(p->dialogs->opened.size(), 2u);
    EXPECT_EQ(p->dialogs->opened[1], kv::TrimText(kvtest::FormAccess::WorkDir(*f) + "\\"));
    clickAt(0, 430);  // DEL on a finished row: stays
    EXPECT_EQ(Jobs().Count(), 2);
    clickAt(1, 430);  // DEL on a pending row: goes
    EXPECT_EQ(Jobs().Count(), 1);
    ExpectAligned();
    kvtest::FormAccess::Run(*f).Busy = true;
    clickAt(0, 100);
    EXPECT_EQ(p->dialogs->opened.size(), 2u);
    kvtest::FormAccess::Run(*f).Busy = false;
}

TEST_F(Convert, BrowseSavesTheOutputFolder) {
    TempFolder dir(L"kv out");
    const std::string chosen = kvtest::Utf8(dir.Path());
    kvtest::FormAccess::Adder(*f).SetLastFolder("C:\\from add folder");
    p->dialogs->folderAnswers.push_back(chosen);
    f->Button3Click();
    EXPECT_EQ(p->dialogs->folderAsks[0].initial, "C:\\from add folder");
    EXPECT_EQ(kvtest::FormAccess::WorkDir(*f), chosen);
    EXPECT_EQ(f->ControlText("Edit3"), chosen);
    EXPECT_EQ(f->ControlText("Edit4"), chosen);
    EXPECT_EQ(kv::RegistryKey(kv::kSettingsKey).ReadString("WorkDir"), chosen);
    f->Button3Click();  // cancelled
    EXPECT_EQ(kvtest::FormAccess::WorkDir(*f), chosen);
}

TEST_F(Convert, RunConvertsInListOrderAndFailsWhatCannotBeConverted) {
    TempFolder in(L"kv in"), out(L"kv out");
    kvtest::FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    f->EzRgnBtn3Click();  // no rows: nothing happens
    EXPECT_FALSE(kvtest::FormAccess::Run(*f).Busy);
    AddFile(kvtest::MediaFile("aac_stereo_video.mp4"), in.Path() / L"one.mp4");
    AddFile(kvtest::MediaFile("video_only.mp4"), in.Path() / L"two.mp4");
    AddFile(kvtest::MediaFile("truncated.mp4"), in.Path() / L"three.mp4");
    AddFile(kvtest::MediaFile("mp3_in_mp4.mp4"), in.Path() / L"sub" / L"one.mp4");  // same name as row 0
    ASSERT_EQ(Jobs().Count(), 4);
    // An MP3 from before the run is overwritten.
    kvtest::WriteBytes(out.Path() / L"one.mp3", "old");

    f->EzRgnBtn3Click();
    EXPECT_TRUE(kvtest::FormAccess::Run(*f).Busy);
    EXPECT_EQ(kvtest::FormAccess::Run(*f).CurrentJob, 0);
    EXPECT_EQ(kvtest::FormAccess::Run(*f).OutputRateKB, 16.0);
    EXPECT_EQ(kvtest::FormAccess::Run(*f).FfmpegArgs, kv::FfmpegArgsFor(Jobs().Path(0), kvtest::FormAccess::WorkDir(*f) + "\\one.mp3"));
    const auto firstArgs = kvtest::FormAccess::Run(*f).FfmpegArgs;
    f->EzRgnBtn3Click();  // pressing again while running changes nothing
    EXPECT_EQ(kvtest::FormAccess::Run(*f).FfmpegArgs, firstArgs);

    ASSERT_TRUE(kvtest::PumpUntil(
        [&] {
            for (int i = 0; i < 4; ++i)
                if (Jobs().Progress(i) == "Pending" || Jobs().Progress(i).ends_with("% Done")) return false;
            return !kvtest::FormAccess::Run(*f).Busy;
        },
        180000));
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Jobs().Converted(0), "MP3");
    EXPECT_EQ(Jobs().Progress(1), "Failed");
    EXPECT_EQ(Jobs().Converted(1), "");
    EXPECT_EQ(Jobs().Progress(2), "Failed");
    EXPECT_EQ(Jobs().Progress(3), "Done");
    EXPECT_GT(fs::file_size(out.Path() / L"one.mp3"), 50000u);
    EXPECT_GT(fs::file_size(out.Path() / L"one (2).mp3"), 30000u);
    EXPECT_FALSE(fs::exists(out.Path() / L"two.mp3"));
    EXPECT_EQ(kvtest::FormAccess::Run(*f).CurrentJob, -1);
    // A finished run does nothing more.
    f->EzRgnBtn3Click();
    EXPECT_FALSE(kvtest::FormAccess::Run(*f).Busy);
}

// A stand-in transcoder: notes each run in runs.txt; its first `failures`
// runs end with code 7 before writing anything, later ones run the real one.
fs::path FlakyTranscoder(const fs::path& dir, int failures, const std::string& realOne) {
    std::string t = "@echo off\r\necho run>>\"%~dp0runs.txt\"\r\n";
    t += "set /a n=0\r\nfor /f %%l in ('type \"%~dp0runs.txt\"') do set /a n+=1\r\n";
    t += "if %n% LEQ " + std::to_string(failures) + " exit /b 7\r\n";
    t += "\"" + realOne + "\" %*\r\n";
    const fs::path bat = dir / L"transcoder.bat";
    kvtest::WriteBytes(bat, t);
    return bat;
}

TEST_F(Convert, TranscoderThatFailsBeforeWritingStartsOnceMore) {
    TempFolder in, out, tool(L"kvtool");  // the tool path has no blank, as the real one
    kvtest::FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    const std::string real = kvtest::FormAccess::FfmpegPath(*f);
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"once.mp4");
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"never.mp4");
    ASSERT_EQ(Jobs().Count(), 2);

    // Failing once: the second start converts the file.
    kvtest::FormAccess::FfmpegPath(*f) = kvtest::Utf8(FlakyTranscoder(tool.Path(), 1, real));
    Jobs().SetProgress(1, "Done");  // kept out of this run
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Runs(tool.Path()), 2);
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_TRUE(fs::exists(out.Path() / L"once.mp3") && fs::file_size(out.Path() / L"once.mp3") > 50000u);

    // Failing every time: the row fails after two starts, not more.
    fs::remove(tool.Path() / L"runs.txt");
    kvtest::FormAccess::FfmpegPath(*f) = kvtest::Utf8(FlakyTranscoder(tool.Path(), 100, real));
    Jobs().SetProgress(1, "Pending");
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Jobs().Progress(1), "Failed");
    EXPECT_FALSE(fs::exists(out.Path() / L"never.mp3"));
    EXPECT_EQ(Runs(tool.Path()), 2);
}

TEST_F(Convert, RunFollowsItsOwnRowWhenRowsAboveGo) {
    TempFolder in, out;
    kvtest::FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"first.mp4");
    AddFile(kvtest::MediaFile("long_120s.mp4"), in.Path() / L"second.mp4");
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"third.mp4");
    Jobs().SetProgress(0, "Done");  // skipped by the run
    f->EzRgnBtn3Click();
    EXPECT_EQ(kvtest::FormAccess::Run(*f).CurrentJob, 1);
    Select(0);
    WORD key = VK_DELETE;
    f->ListView1KeyDown(key, 0);  // the row above the running one goes
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(Jobs().Count(), 2);
    EXPECT_EQ(Jobs().Cell(0, 1), "second");
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Jobs().Cell(1, 1), "third");
    EXPECT_EQ(Jobs().Progress(1), "Done");
}

TEST_F(Convert, RemovingTheRunningRowEndsItsTranscoder) {
    TempFolder in, out;
    kvtest::FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    AddFile(kvtest::MediaFile("long_120s.mp4"), in.Path() / L"long.mp4");
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"next.mp4");
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Progress(0).ends_with("% Done"); }, 30000));
    Select(0);
    WORD key = VK_DELETE;
    f->ListView1KeyDown(key, 0);
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(Jobs().Progress(0), "Done");
    // The ended transcoder no longer holds its half-written file.
    EXPECT_TRUE(kv::DeleteFileUtf8(kvtest::Utf8(out.Path() / L"long.mp3")));
}

}  // namespace
