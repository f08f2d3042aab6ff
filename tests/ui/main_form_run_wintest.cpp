// The conversion run as the window drives it (main_form_run_win.cpp and the run it
// hands over to), against the real embedded transcoder and real MP4 files, or a
// stand-in where a fault must be made on purpose.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/job_rules.h"
#include "support/form_fixture.h"
#include "support/checked.h"

namespace {

namespace fs = std::filesystem;
using kvtest::FormAccess;
using kvtest::Mp3Lasting;
using kvtest::Mp3Names;
using kvtest::Runs;
using kvtest::TempFolder;
using Strings = std::vector<std::string>;

using MainFormRun = kvtest::FormTest;

// A path no command line can hold: the transcoder cannot even be started for it.
// A path the border check passes whose command line no process can have.
kv::CheckedPath UnstartableInput() {
    std::string p = "C:";
    while (p.size() < 32000) p += "\\" + std::string(200, 'x');
    return kvtest::Checked(p + "\\u.mp4");
}

TEST_F(MainFormRun, ConvertsInListOrderAndFailsWhatCannotBeConverted) {
    TempFolder in(L"kv in"), out(L"kv out");
    FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    f->EzRgnBtn3Click();  // no rows: nothing happens
    EXPECT_FALSE(Busy());
    AddFile(kvtest::MediaFile("aac_stereo_video.mp4"), in.Path() / L"one.mp4");
    AddFile(kvtest::MediaFile("video_only.mp4"), in.Path() / L"two.mp4");
    AddFile(kvtest::MediaFile("truncated.mp4"), in.Path() / L"three.mp4");
    AddFile(kvtest::MediaFile("mp3_in_mp4.mp4"), in.Path() / L"sub" / L"one.mp4");  // same name as row 0
    ASSERT_EQ(Jobs().Count(), 4);
    // An MP3 from before the run is overwritten.
    kvtest::WriteBytes(out.Path() / L"one.mp3", "old");

    f->EzRgnBtn3Click();
    EXPECT_TRUE(Busy());
    EXPECT_EQ(RunningRow(), 0);
    // Written under a temporary name beside it, which the ticks watch.
    const std::string partial = FormAccess::Conversion(*f).PartialPath();
    EXPECT_TRUE(partial.starts_with(kvtest::Utf8(out.Path() / L"one.mp3.")) && partial.ends_with(".korvello-part"))
        << partial;
    const std::string firstArgs = " -discard:V all -i \"" + kvtest::Utf8(in.Path() / L"one.mp4") +
                                  "\" -y -deinterlace -ar 44100 -ab 128 -ac 2 -f mp3 \"" + partial + "\"";
    EXPECT_EQ(FormAccess::Conversion(*f).Arguments(), firstArgs);
    // The job's timer carries what it watches and the size it expects, six seconds at 16 KB a second.
    const kv::TAdvancedTimer* timer = FormAccess::Conversion(*f).CurrentTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->Buddy(), partial);
    EXPECT_EQ(timer->Message(), std::to_string(Jobs().At(0).duration * 16 * 1024));
    EXPECT_EQ(kvtest::ReadBytes(out.Path() / L"one.mp3"), "old") << "the older MP3 stays until the new one is whole";
    f->EzRgnBtn3Click();  // pressing again while running changes nothing
    EXPECT_EQ(FormAccess::Conversion(*f).PartialPath(), partial);
    EXPECT_EQ(FormAccess::Conversion(*f).Arguments(), firstArgs);
    EXPECT_EQ(FormAccess::Conversion(*f).RunningCount(), 1u);
    EXPECT_EQ(RunningRow(), 0);

    ASSERT_TRUE(kvtest::PumpUntil(
        [&] {
            for (int i = 0; i < 4; ++i)
                if (Jobs().Progress(i) == "Pending" || Jobs().Progress(i).ends_with("% Done")) return false;
            return !Busy();
        },
        180000));
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Jobs().Converted(0), "MP3");
    EXPECT_EQ(Jobs().Progress(1), "Failed");
    EXPECT_EQ(Jobs().Converted(1), "");
    EXPECT_EQ(Jobs().Progress(2), "Failed");
    EXPECT_EQ(Jobs().Progress(3), "Done");
    // Each MP3 carries its own input: six seconds of stereo, four of the MP3 track.
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"one.mp3", 6.0));
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"one (2).mp3", 4.0));
    // Nothing else: no temporary file stays, and the failed rows wrote nothing.
    EXPECT_EQ(kvtest::FileNames(out.Path()), (Strings{"one (2).mp3", "one.mp3"}));
    EXPECT_EQ(RunningRow(), -1);
    // A finished run does nothing more.
    f->EzRgnBtn3Click();
    EXPECT_FALSE(Busy());
}

TEST_F(MainFormRun, TranscoderThatFailsBeforeWritingStartsOnceMore) {
    auto& [in, out, tool] = RunIn();
    const std::string real = FormAccess::FfmpegPath(*f);
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"once.mp4");
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"never.mp4");
    ASSERT_EQ(Jobs().Count(), 2);

    // Failing once: the second start converts the file.
    FormAccess::FfmpegPath(*f) = kvtest::Utf8(kvtest::FlakyTranscoder(tool.Path(), 1, real));
    SetState(1, kv::JobState::Done);  // kept out of this run
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Runs(tool.Path()), 2);
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"once.mp3", 4.0));

    // Failing every time: the row fails after two starts, not more.
    fs::remove(tool.Path() / L"runs.txt");
    FormAccess::FfmpegPath(*f) = kvtest::Utf8(kvtest::FlakyTranscoder(tool.Path(), 100, real));
    SetState(1, kv::JobState::Pending);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Jobs().Progress(1), "Failed");
    EXPECT_FALSE(fs::exists(out.Path() / L"never.mp3"));
    EXPECT_EQ(Runs(tool.Path()), 2);
}

TEST_F(MainFormRun, HealthyFilesStartTheTranscoderOnceEach) {
    auto& [in, out, tool] = RunIn();
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"four.mp4");
    AddFile(kvtest::MediaFile("aac_stereo_video.mp4"), in.Path() / L"six.mp4");
    // Counts the starts, runs the real transcoder every time.
    FormAccess::FfmpegPath(*f) = kvtest::Utf8(kvtest::FlakyTranscoder(tool.Path(), 0, FormAccess::FfmpegPath(*f)));
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Jobs().Progress(1), "Done");
    EXPECT_EQ(Runs(tool.Path()), 2) << "a second start must be for a first that failed";
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"four.mp3", 4.0));
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"six.mp3", 6.0));
}

TEST_F(MainFormRun, RunFollowsItsOwnRowWhenRowsAboveGo) {
    auto& [in, out, tool] = RunIn();
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"first.mp4");
    AddFile(kvtest::MediaFile("long_120s.mp4"), in.Path() / L"second.mp4");
    AddFile(kvtest::MediaFile("aac_stereo_video.mp4"), in.Path() / L"third.mp4");
    SetState(0, kv::JobState::Done);  // skipped by the run
    f->EzRgnBtn3Click();
    EXPECT_EQ(RunningRow(), 1);
    Select(0);
    WORD key = VK_DELETE;
    f->ListView1KeyDown(key, 0);  // the row above the running one goes
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(Jobs().Count(), 2);
    EXPECT_EQ(Cell(0, 1), "second");
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Cell(1, 1), "third");
    EXPECT_EQ(Jobs().Progress(1), "Done");
    // One MP3 a row, each from its own input: a run that lost its row would
    // convert "second" twice and leave "third" unconverted.
    EXPECT_EQ(Mp3Names(out.Path()), (Strings{"second.mp3", "third.mp3"}));
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"second.mp3", 120.0));
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"third.mp3", 6.0));
}

// A stand-in transcoder that writes a little and then hangs: with the wait for
// growth cut from a minute to two seconds, it is ended, its row fails and says
// why, and the run goes on.
TEST_F(MainFormRun, AHungTranscoderIsEndedAndTheRunGoesOn) {
    auto& [in, out, tool] = RunIn();
    const fs::path exe = UseStandIn();
    FormAccess::Conversion(*f).StallMs = 2000;
    kvtest::StandInRow(Jobs(), in.Path(), L"hangs", "size 1000 sleep 600000", 120);
    kvtest::StandInRow(Jobs(), in.Path(), L"next", "size 20000", 2);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd(30000)) << "the window stayed busy";
    EXPECT_EQ(Jobs().Progress(0), "Failed");
    EXPECT_EQ(Jobs().FailureAt(0), kv::Failure::Stalled);
    EXPECT_EQ(Jobs().Progress(1), "Done");
    EXPECT_TRUE(kvtest::PumpUntil([&] { return kvtest::ProcessesOf(exe).empty(); }, 5000)) << "it still runs";
}

TEST_F(MainFormRun, RemovingTheRunningRowEndsItsTranscoder) {
    auto& [in, out, tool] = RunIn();
    const fs::path exe = UseStandIn();
    // The first writes a little, then would run for a minute; the second is quick and whole.
    kvtest::StandInRow(Jobs(), in.Path(), L"long", "size 1000 sleep 60000", 120);
    kvtest::StandInRow(Jobs(), in.Path(), L"next", "size 20000", 2);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(Busy());
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Progress(0).ends_with("% Done"); }, 30000));
    const std::vector<DWORD> running = kvtest::ProcessesOf(exe);
    ASSERT_EQ(running.size(), 1u);
    kv::win::UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, running[0]));
    ASSERT_TRUE(process);

    Select(0);
    WORD key = VK_DELETE;
    f->ListView1KeyDown(key, 0);
    ASSERT_TRUE(RunToEnd(30000));
    ASSERT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(Jobs().Progress(0), "Done");
    // Ended, not left to run out its minute: a few seconds allow for Wine.
    ASSERT_EQ(::WaitForSingleObject(process.Get(), 5000), WAIT_OBJECT_0) << "the removed row's transcoder still runs";
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    EXPECT_EQ(code, 1u);  // terminated, not its own end
    EXPECT_TRUE(kvtest::ProcessesOf(exe).empty());
    EXPECT_EQ(fs::file_size(out.Path() / L"next.mp3"), 20000u);
}

// Whether an MP3 holds all the sound is what the transcoder reports: an MP3
// much shorter than the container is right when the sound itself is shorter
// (a video with a short audio track), and a file the transcoder reports cut
// short (11 s reached of 20) fails whatever its size. A click on a failed row's progress says why.
TEST_F(MainFormRun, CompletenessIsWhatTheTranscoderReportsAndAFailedRowSaysWhy) {
    auto& [in, out, tool] = RunIn();
    UseStandIn();
    // Stored 21 s: a 20 s container. 8 s of sound is 128000 bytes.
    kvtest::StandInRow(Jobs(), in.Path(), L"short sound", "size 128000", 21);
    kvtest::StandInRow(Jobs(), in.Path(), L"cut short", "size 336000 damage 11", 21);
    kvtest::StandInRow(Jobs(), in.Path(), L"whole but failing", "size 336000 exit 1", 21);
    kvtest::StandInRow(Jobs(), in.Path(), L"no sound", "noaudio 1 exit 1", 21);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd(60000));
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Jobs().Converted(0), "MP3");
    EXPECT_EQ(Jobs().Progress(1), "Failed");
    EXPECT_EQ(Jobs().Converted(1), "");
    EXPECT_EQ(Jobs().Progress(2), "Failed");
    EXPECT_EQ(Jobs().Progress(3), "Failed");

    f->Show();
    HWND list = Rows().ListView();
    auto clickProgress = [&](int row) {
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        RECT item{};
        ListView_GetItemRect(list, row, &item, LVIR_BOUNDS);
        POINT screen{220, (item.top + item.bottom) / 2};  // the progress column
        ::ClientToScreen(list, &screen);
        ::SetCursorPos(screen.x, screen.y);
        kvtest::PumpFor(50);
        f->ListView1Click();
    };
    clickProgress(0);  // a Done row: nothing to tell
    EXPECT_TRUE(p->dialogs->boxes.empty());
    clickProgress(1);
    clickProgress(3);
    ASSERT_EQ(p->dialogs->boxes.size(), 2u);
    EXPECT_EQ(p->dialogs->boxes[0].text,
              "\"cut short.mp4\" could not be converted.\n\nThe file is damaged or cut short.");
    EXPECT_EQ(p->dialogs->boxes[0].caption, "Korvello");
    EXPECT_EQ(p->dialogs->boxes[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(p->dialogs->boxes[1].text,
              "\"no sound.mp4\" could not be converted.\n\nThe file has no audio track: there is no sound to convert.");
}

TEST_F(MainFormRun, TranscoderThatCannotStartMidQueueFailsItsRowAndTheRunGoesOn) {
    auto& [in, out, tool] = RunIn();
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"before.mp4");
    Jobs().Append(UnstartableInput(), "unstartable", 5);
    AddFile(kvtest::MediaFile("aac_stereo_video.mp4"), in.Path() / L"after.mp4");
    f->EzRgnBtn3Click();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Jobs().Progress(1), "Failed");
    EXPECT_EQ(Jobs().Converted(1), "");
    EXPECT_EQ(Jobs().Progress(2), "Done");
    EXPECT_EQ(Mp3Names(out.Path()), (Strings{"after.mp3", "before.mp3"}));
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"before.mp3", 4.0));
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"after.mp3", 6.0));
    EXPECT_EQ(RunningRow(), -1);
}

TEST_F(MainFormRun, EveryRowFailingLeavesTheWindowIdle) {
    auto& [in, out, tool] = RunIn();
    AddFile(kvtest::MediaFile("video_only.mp4"), in.Path() / L"silent.mp4");
    Jobs().Append(UnstartableInput(), "unstartable", 5);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Progress(1) != "Pending"; }, 60000));
    kvtest::PumpFor(300);
    EXPECT_EQ(Jobs().Progress(0), "Failed");
    EXPECT_EQ(Jobs().Progress(1), "Failed");
    ASSERT_FALSE(Busy()) << "the window stays busy with nothing running";
    EXPECT_TRUE(Mp3Names(out.Path()).empty());
    // Adding works again, and so does the next run.
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"later.mp4");
    ASSERT_EQ(Jobs().Count(), 3);
    EXPECT_EQ(Jobs().Progress(2), "Pending");
    f->EzRgnBtn3Click();
    EXPECT_TRUE(Busy());
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Jobs().Progress(2), "Done");
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"later.mp3", 4.0));
}

TEST_F(MainFormRun, LateExitNoticeOfAFinishedJobChangesNothing) {
    auto& [in, out, tool] = RunIn();
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"early.mp4");
    AddFile(kvtest::MediaFile("long_120s.mp4"), in.Path() / L"long.mp4");
    FormAccess::FfmpegPath(*f) = kvtest::Utf8(kvtest::FlakyTranscoder(tool.Path(), 0, FormAccess::FfmpegPath(*f)));
    const std::int64_t early = Jobs().At(0).id, longer = Jobs().At(1).id;
    auto lateNotice = [&](std::int64_t id) {
        ::PostMessageW(f->Handle(), kv::TfrmMain::kJobExitedMessage, 0, static_cast<LPARAM>(id));
    };
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return RunningRow() == 1; }, 60000));
    // While the second job runs: the first's notice, again.
    lateNotice(early);
    kvtest::PumpFor(200);
    EXPECT_TRUE(Busy());
    EXPECT_EQ(RunningRow(), 1);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Jobs().Progress(0), "Done");
    EXPECT_EQ(Jobs().Progress(1), "Done");
    EXPECT_TRUE(Mp3Lasting(out.Path() / L"long.mp3", 120.0));
    EXPECT_EQ(Runs(tool.Path()), 2);

    // After the run, with a new row waiting: neither notice starts anything.
    AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), in.Path() / L"waiting.mp4");
    ASSERT_EQ(Jobs().Count(), 3);
    lateNotice(early);
    lateNotice(longer);
    kvtest::PumpFor(1500);
    EXPECT_FALSE(Busy());
    EXPECT_EQ(Jobs().Progress(2), "Pending");
    EXPECT_EQ(Runs(tool.Path()), 2);
    EXPECT_FALSE(fs::exists(out.Path() / L"waiting.mp3"));
}

}  // namespace

namespace {

void ReplaceLines(HWND box, const std::wstring& text) {
    const auto n = static_cast<int>(::SendMessageW(box, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        ::SendMessageW(box, LB_DELETESTRING, 0, 0);
        ::SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void SetCellText(HWND list, int row, int column, const wchar_t* text) {
    std::wstring w = text;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = w.data();
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

// Any program on the desktop can send the window's lists LB_ and LVM_
// messages. Rewritten in the middle of a run, they change what the window
// shows for a moment, never which files are converted or how each row ends.
TEST_F(MainFormRun, TextAnotherProgramWritesIntoTheListsChangesNothing) {
    auto& [in, out, tool] = RunIn();
    const TempFolder elsewhere(L"kv other");
    UseStandIn();
    kvtest::StandInRow(Jobs(), in.Path(), L"first", "size 20000 sleep 2000", 2);
    kvtest::StandInRow(Jobs(), in.Path(), L"second", "size 20000", 2);
    kvtest::StandInRow(Jobs(), in.Path(), L"third", "size 20000 sleep 2000", 2);
    const fs::path planted = elsewhere.Path() / L"planted.mp4";
    kvtest::WriteBytes(planted, "size 20000");
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Progress(0).ends_with("% Done"); }, 30000));

    ReplaceLines(f->Control("ListBox1"), planted.wstring());
    ReplaceLines(f->Control("ListBox2"), L"100000");
    HWND list = Rows().ListView();
    SetCellText(list, 1, 2, L"Done");  // as if converted: the run would skip it
    SetCellText(list, 2, 1, L"planted");
    ASSERT_EQ(StoredPath(0), kvtest::Utf8(planted));
    ASSERT_EQ(Cell(1, 2), "Done");

    // The third row's job expects the size of the duration it was added with, not the planted one.
    ASSERT_TRUE(kvtest::PumpUntil([&] { return RunningRow() == 2; }, 30000));
    ASSERT_NE(FormAccess::Conversion(*f).CurrentTimer(), nullptr);
    EXPECT_EQ(FormAccess::Conversion(*f).CurrentTimer()->Message(), std::to_string(2 * 16 * 1024));
    EXPECT_EQ(FormAccess::Conversion(*f).CurrentTimer()->Buddy(), FormAccess::Conversion(*f).PartialPath());
    ASSERT_TRUE(RunToEnd(60000));
    EXPECT_EQ(Mp3Names(out.Path()), (Strings{"first.mp3", "second.mp3", "third.mp3"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Jobs().At(i).duration, 2) << "the duration the row was added with";
        EXPECT_EQ(Jobs().Progress(i), "Done") << i;
        EXPECT_EQ(Cell(i, 2), "Done") << i;
    }
    EXPECT_EQ(Jobs().Path(2), kvtest::Utf8(in.Path() / L"third.mp4"));
}

// Two at once with real processes: Delete on one running row ends that
// transcoder alone, and the next row takes its place.
TEST_F(MainFormRun, DeleteOnOneOfTwoRunningRowsEndsThatTranscoderAlone) {
    auto& [in, out, tool] = RunIn();
    const fs::path exe = UseStandIn();
    FormAccess::Choices(*f).filesAtOnce = 2;
    kvtest::StandInRow(Jobs(), in.Path(), L"first", "size 1000 sleep 60000", 120);
    kvtest::StandInRow(Jobs(), in.Path(), L"second", "size 1000 sleep 60000", 120);
    kvtest::StandInRow(Jobs(), in.Path(), L"third", "size 20000", 2);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return kvtest::ProcessesOf(exe).size() == 2; }, 30000));
    EXPECT_EQ(FormAccess::Conversion(*f).RunningCount(), 2u);
    Select(0);
    WORD key = VK_DELETE;
    f->ListView1KeyDown(key, 0);
    // The first one's transcoder goes at its next tick; the third row takes its place and ends.
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 2 && Jobs().Progress(1) == "Done"; }, 30000));
    EXPECT_EQ(Cell(0, 1), "second");
    EXPECT_NE(Jobs().Progress(0), "Failed") << "the other running row goes on";
    EXPECT_EQ(kvtest::ProcessesOf(exe).size(), 1u) << "only the removed row's transcoder ended";
    EXPECT_TRUE(Busy());
    EXPECT_TRUE(fs::exists(out.Path() / L"third.mp3"));
}
