// The two ways out (main_form_shutdown_win.cpp): the close button, which deletes
// the tool files and ends at once, and the window's destruction, whether by the
// program or by a close request from the window or the taskbar.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/settings_win.h"
#include "app/tool_install_win.h"
#include "convert/part_files.h"
#include "support/form_fixture.h"
#include "win/handle.h"

namespace {

namespace fs = std::filesystem;
using kvtest::FormAccess;
using kvtest::Program;
using kvtest::TempFolder;
using Names = std::vector<std::wstring>;

void DeleteSettings() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvello"); }

TEST(MainFormShutdown, DestroyingTheWindowDeletesToolFilesAndBatchFile) {
    DeleteSettings();
    std::string appDir, tempDir;
    {
        Program p;
        appDir = kvtest::FormAccess::AppDir(*p.form);
        tempDir = kvtest::FormAccess::TempDir(*p.form);
        kvtest::WriteBytes(kvtest::FromUtf8(tempDir + "open.bat"), "@echo off\r\n");
        ASSERT_TRUE(kv::FileExists(appDir + "ffmpeg.exe"));
    }
    for (const auto& tool : kv::kToolFiles) EXPECT_FALSE(kv::FileExists(appDir + tool.fileName)) << tool.fileName;
    EXPECT_FALSE(kv::FileExists(tempDir + "open.bat"));
    EXPECT_TRUE(kv::DirectoryExists(appDir));
}

TEST(MainFormShutdown, CloseButtonDeletesFilesAndEndsWithoutDestructionHandler) {
    DeleteSettings();
    int terminated = 0;
    kv::FormOptions o;
    o.terminateSelf = [&] { ++terminated; };
    Program p(std::move(o));
    const std::string appDir = kvtest::FormAccess::AppDir(*p.form);
    p.form->EzRgnBtn2Click();
    EXPECT_EQ(terminated, 1);
    for (const auto& tool : kv::kToolFiles) EXPECT_FALSE(kv::FileExists(appDir + tool.fileName)) << tool.fileName;
    // Files written after the close button are not deleted by the window's destruction.
    kvtest::WriteBytes(kvtest::FromUtf8(appDir + "cygz.dll"), "x");
    p.form.reset();
    EXPECT_TRUE(kv::FileExists(appDir + "cygz.dll"));
    kv::DeleteFileUtf8(appDir + "cygz.dll");
}

// The names removed from one folder, in the order the system reports them.
class RemovalWatch {
public:
    explicit RemovalWatch(const fs::path& dir)
        : dir_(::CreateFileW(dir.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr)),
          event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        Ask();
    }
    ~RemovalWatch() {
        if (dir_) {
            ::CancelIo(dir_.Get());
            DWORD n = 0;
            ::GetOverlappedResult(dir_.Get(), &ov_, &n, TRUE);
        }
    }
    [[nodiscard]] bool Watching() const { return asked_; }

    // Collects removals until `count` are in or `ms` pass without one.
    Names Removed(size_t count, DWORD ms) {
        Names names;
        while (asked_ && names.size() < count && ::WaitForSingleObject(event_.Get(), ms) == WAIT_OBJECT_0) {
            DWORD n = 0;
            if (!::GetOverlappedResult(dir_.Get(), &ov_, &n, FALSE)) break;
            for (size_t at = 0; n > 0;) {
                const auto* r = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buf_ + at);
                if (r->Action == FILE_ACTION_REMOVED)
                    names.emplace_back(r->FileName, r->FileNameLength / sizeof(wchar_t));
                if (!r->NextEntryOffset) break;
                at += r->NextEntryOffset;
            }
            Ask();
        }
        return names;
    }

private:
    void Ask() {
        ::ResetEvent(event_.Get());
        ov_ = OVERLAPPED{};
        ov_.hEvent = event_.Get();
        asked_ = dir_ && ::ReadDirectoryChangesW(dir_.Get(), buf_, sizeof buf_, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME,
                                                 nullptr, &ov_, nullptr);
    }

    kv::win::UniqueFile dir_;
    kv::win::UniqueHandle event_;
    OVERLAPPED ov_{};
    alignas(DWORD) BYTE buf_[16384]{};
    bool asked_ = false;
};

// The tool files and the probe's batch file, all in one folder of their own so
// that one watch sees the order of every deletion.
void ToolFilesIn(kv::TfrmMain& f, const TempFolder& dir) {
    FormAccess::AppDir(f) = dir.Utf8();
    FormAccess::TempDir(f) = dir.Utf8();
    FormAccess::FfmpegPath(f) = dir.Utf8() + "ffmpeg.exe";
    for (const wchar_t* n :
         {L"ffmpeg.exe", L"cygwin1.dll", L"cygz.dll", L"open.bat", L"mediainfo.dll", L"mediainfo.exe"})
        kvtest::WriteBytes(dir.Path() / n, "x");
}

TEST(MainFormShutdown, CloseButtonDeletesTheBatchFileFourth) {
    DeleteSettings();
    Program p;
    TempFolder dir(L"kvtools");
    ToolFilesIn(*p.form, dir);
    RemovalWatch watch(dir.Path());
    ASSERT_TRUE(watch.Watching());
    p.form->EzRgnBtn2Click();
    EXPECT_EQ(watch.Removed(6, 3000),
              (Names{L"ffmpeg.exe", L"cygwin1.dll", L"cygz.dll", L"open.bat", L"mediainfo.dll", L"mediainfo.exe"}));
}

TEST(MainFormShutdown, DestructionDeletesTheBatchFileLast) {
    DeleteSettings();
    Program p;
    TempFolder dir(L"kvtools");
    ToolFilesIn(*p.form, dir);
    RemovalWatch watch(dir.Path());
    ASSERT_TRUE(watch.Watching());
    p.form.reset();
    EXPECT_EQ(watch.Removed(6, 3000),
              (Names{L"ffmpeg.exe", L"cygwin1.dll", L"cygz.dll", L"mediainfo.dll", L"mediainfo.exe", L"open.bat"}));
}

using MainFormShutdownInRun = kvtest::FormTest;

// A close request while a job runs: the window goes with its destruction
// handler, and the run goes no further.
void CloseDuringARun(kvtest::Program& p, const std::function<void()>& askToClose) {
    kv::TfrmMain& f = *p.form;
    TempFolder in, out, tool(L"kvtool");
    FormAccess::WorkDir(f) = kvtest::Utf8(out.Path());
    const std::string appDir = FormAccess::AppDir(f), tempDir = FormAccess::TempDir(f);
    kvtest::WriteBytes(kvtest::FromUtf8(tempDir + "open.bat"), "@echo off\r\n");
    const fs::path standIn = kvtest::StandInTranscoder(tool.Path());
    FormAccess::FfmpegPath(f) = kvtest::Utf8(kvtest::FlakyTranscoder(tool.Path(), 0, kvtest::Utf8(standIn)));
    kvtest::WriteBytes(out.Path() / L"running.mp3", "older");
    kvtest::StandInRow(f.Jobs(), in.Path(), L"running", "size 1000 sleep 2500", 5);
    kvtest::StandInRow(f.Jobs(), in.Path(), L"waiting", "size 100000", 5);
    f.EzRgnBtn3Click();
    ASSERT_TRUE(FormAccess::Logic(f).Busy());
    ASSERT_TRUE(kvtest::PumpUntil([&] { return f.Jobs().Progress(0).ends_with("% Done"); }, 30000));

    HWND window = f.Handle();
    askToClose();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return !::IsWindow(window); }, 5000)) << "the window is still there";
    // The transcoder's path names the stand-in; the other tool files go.
    for (const char* file : {"cygwin1.dll", "cygz.dll", "mediainfo.dll", "mediainfo.exe"})
        EXPECT_FALSE(kv::FileExists(appDir + file)) << file;
    EXPECT_FALSE(kv::FileExists(tempDir + "open.bat"));
    // The running job ended with the window, its half-written file deleted;
    // the waiting row is not started.
    kvtest::PumpFor(4000);
    EXPECT_EQ(kvtest::Runs(tool.Path()), 1);
    EXPECT_EQ(kvtest::FileNames(out.Path()), std::vector<std::string>{"running.mp3"})
        << "only the user's older MP3 stays";
    EXPECT_EQ(kvtest::ReadBytes(out.Path() / L"running.mp3"), "older");
    p.form.reset();
}

// The close button mid-run: the transcoder ends and its half-written MP3 goes
// before the program does; an older MP3 of that name stays as it was.
TEST_F(MainFormShutdownInRun, CloseButtonDuringARunLeavesTheOutputFolderAsItWas) {
    auto& [in, out, tool] = RunIn();
    kvtest::WriteBytes(out.Path() / L"slow.mp3", "older");
    UseStandIn();
    kvtest::StandInRow(f->Jobs(), in.Path(), L"slow", "size 5000 sleep 30000", 5);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return f->Jobs().Progress(0).ends_with("% Done"); }, 30000));
    const std::string partial = FormAccess::Conversion(*f).PartialPath();
    ASSERT_TRUE(kv::FileExists(partial));
    bool terminated = false;
    FormAccess::Options(*f).terminateSelf = [&] { terminated = true; };
    f->EzRgnBtn2Click();
    EXPECT_TRUE(terminated);
    EXPECT_FALSE(kv::FileExists(partial));
    EXPECT_EQ(kvtest::FileNames(out.Path()), std::vector<std::string>{"slow.mp3"});
    EXPECT_EQ(kvtest::ReadBytes(out.Path() / L"slow.mp3"), "older");
    EXPECT_TRUE(kvtest::ProcessesOf(tool.Path() / L"ffmpeg.exe").empty());
}

// Two at once: the close button ends both transcoders and deletes what each wrote.
TEST_F(MainFormShutdownInRun, CloseButtonEndsEveryRunningTranscoder) {
    auto& [in, out, tool] = RunIn();
    const fs::path exe = UseStandIn();
    FormAccess::Choices(*f).filesAtOnce = 2;
    kvtest::StandInRow(f->Jobs(), in.Path(), L"one", "size 5000 sleep 30000", 5);
    kvtest::StandInRow(f->Jobs(), in.Path(), L"two", "size 5000 sleep 30000", 5);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return kvtest::ProcessesOf(exe).size() == 2; }, 30000));
    ASSERT_TRUE(kvtest::PumpUntil(
        [&] { return f->Jobs().Progress(0).ends_with("% Done") && f->Jobs().Progress(1).ends_with("% Done"); }, 30000));
    FormAccess::Options(*f).terminateSelf = [] {};
    f->EzRgnBtn2Click();
    EXPECT_TRUE(kvtest::ProcessesOf(exe).empty());
    EXPECT_TRUE(kvtest::FileNames(out.Path()).empty()) << "a partial file was left";
}

// Windows logs off, restarts for an update or shuts down mid-run: the run ends
// as the close button ends it, and the older MP3 stays as it was.
TEST_F(MainFormShutdownInRun, TheEndOfTheSessionEndsTheRunAndLeavesNothing) {
    auto& [in, out, tool] = RunIn();
    kvtest::WriteBytes(out.Path() / L"slow.mp3", "older");
    const fs::path exe = UseStandIn();
    kvtest::StandInRow(f->Jobs(), in.Path(), L"slow", "size 5000 sleep 30000", 5);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return f->Jobs().Progress(0).ends_with("% Done"); }, 30000));
    const std::string partial = FormAccess::Conversion(*f).PartialPath();
    ASSERT_TRUE(kv::FileExists(partial));
    EXPECT_EQ(::SendMessageW(f->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE) << "nothing to ask";
    EXPECT_TRUE(kv::FileExists(partial)) << "the question alone changes nothing";
    ::SendMessageW(f->Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_FALSE(kv::FileExists(partial));
    EXPECT_EQ(kvtest::FileNames(out.Path()), std::vector<std::string>{"slow.mp3"});
    EXPECT_EQ(kvtest::ReadBytes(out.Path() / L"slow.mp3"), "older");
    EXPECT_TRUE(kvtest::ProcessesOf(exe).empty());
}

// A temporary MP3 of a copy that no longer runs goes at the next start, in
// the output folder and where the last runs wrote; one of a copy that still
// runs stays, and so does every file not named as ours.
TEST(MainFormStart, TemporaryMp3sOfCopiesThatEndedGoAtStart) {
    DeleteSettings();
    TempFolder out, elsewhere;
    // A copy that has ended: a process that ran and is gone.
    PROCESS_INFORMATION pi{};
    STARTUPINFOW si{sizeof si};
    std::wstring line = L"\"" + (kvtest::ProgramFolder() / L"kv_child.exe").wstring() + L"\" --exit 0";
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ::WaitForSingleObject(pi.hProcess, 10000);
    FILETIME created{}, unused{};
    ::GetProcessTimes(pi.hProcess, &created, &unused, &unused, &unused);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    kv::PartTag ended = kv::OwnPartTag(3);
    ended.pid = pi.dwProcessId;
    ended.started = (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
    const std::string dead = "song.mp3." + kv::PartTagText(ended) + ".korvello-part";
    // Another PC's file in a shared folder: its processes cannot be asked here.
    kv::PartTag otherPc = ended;
    otherPc.host ^= 1;
    const std::string otherPcName = "other.mp3." + kv::PartTagText(otherPc) + ".korvello-part";
    const std::string live = "live.mp3." + kv::PartTagText(kv::OwnPartTag(4)) + ".korvello-part";
    // The same id with another start time: a later process that took the id.
    kv::PartTag reused = kv::OwnPartTag(5);
    reused.started -= 1;
    const std::string reusedName = "reused.mp3." + kv::PartTagText(reused) + ".korvello-part";
    for (const std::string& n : {dead, live, reusedName, otherPcName, std::string("notes.korvello-part.txt"),
                                 std::string("mine.korvello-part")})
        kvtest::WriteBytes(out.Path() / kvtest::FromUtf8(n), "x");
    kvtest::WriteBytes(elsewhere.Path() / kvtest::FromUtf8(dead), "x");
    kv::RegistryKey(kv::kSettingsKey).WriteString("WorkDir", kvtest::Utf8(out.Path()));
    kv::RememberPartFolder(kvtest::Utf8(elsewhere.Path()));
    {
        Program p;
        // Swept on a thread of its own: the window does not wait for a slow share.
        EXPECT_TRUE(kvtest::PumpUntil([&] { return kvtest::FileNames(elsewhere.Path()).empty(); }, 10000));
        EXPECT_TRUE(kvtest::PumpUntil([&] { return kvtest::FileNames(out.Path()).size() == 4; }, 10000));
        const std::vector<std::string> left = kvtest::FileNames(out.Path());
        EXPECT_EQ(std::count(left.begin(), left.end(), dead), 0) << "an ended copy's file goes";
        EXPECT_EQ(std::count(left.begin(), left.end(), reusedName), 0) << "its id taken by another process";
        EXPECT_EQ(std::count(left.begin(), left.end(), live), 1) << "a running copy's stays";
        EXPECT_EQ(std::count(left.begin(), left.end(), otherPcName), 1) << "another PC's stays";
        EXPECT_EQ(left.size(), 4u) << "files not named as ours stay";
        p.form.reset();
    }
    DeleteSettings();
}

TEST_F(MainFormShutdownInRun, CloseMessageDuringARunDestroysTheWindow) {
    CloseDuringARun(*p, [&] { ::PostMessageW(f->Handle(), WM_CLOSE, 0, 0); });
}

TEST_F(MainFormShutdownInRun, TaskbarCloseDuringARunDestroysTheWindow) {
    CloseDuringARun(*p, [&] { ::SendMessageW(p->app.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); });
}

}  // namespace
