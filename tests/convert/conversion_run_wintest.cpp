// The run's Windows platform with real files: the temporary output, its final
// name, a file another program holds, and the clock that sleep does not move.
#include <gtest/gtest.h>

#include <windows.h>
#include <realtimeapiset.h>

#include <optional>
#include <string>

#include "convert/conversion_run_win.h"
#include "support/win_test_util.h"
#include "win/clock.h"
#include "win/handle.h"

namespace {

namespace fs = std::filesystem;
using kvtest::TempFolder;

struct Platform {
    kv::WinRunPlatform p{nullptr, 0};
};

// Another program's handle on a file: `share` says what it lets others do.
kv::win::UniqueFile Hold(const fs::path& file, DWORD share) {
    return kv::win::UniqueFile(
        ::CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(RunPlatform, TheTemporaryNameIsFreeAndTheFinalNameReplacesAnOlderMp3InOneStep) {
    TempFolder out;
    Platform w;
    const std::string final = kvtest::Utf8(out.Path() / L"song.mp3");
    const std::string partial = w.p.PartialOutputPath(final, 7);
    EXPECT_TRUE(partial.starts_with(final + ".")) << partial;
    EXPECT_TRUE(partial.ends_with("-7.korvello-part")) << partial;
    // A file that happens to have that name is no file of ours: another name is taken.
    kvtest::WriteBytes(kvtest::FromUtf8(partial), "someone's");
    const std::string second = w.p.PartialOutputPath(final, 7);
    EXPECT_NE(second, partial);
    EXPECT_TRUE(second.ends_with("-7-2.korvello-part")) << second;

    kvtest::WriteBytes(out.Path() / L"song.mp3", "older");
    kvtest::WriteBytes(kvtest::FromUtf8(second), "whole");
    EXPECT_EQ(w.p.CommitOutput(second, final, true), kv::Commit::Done);
    EXPECT_EQ(kvtest::ReadBytes(out.Path() / L"song.mp3"), "whole");
    EXPECT_FALSE(fs::exists(kvtest::FromUtf8(second)));
    EXPECT_EQ(kvtest::ReadBytes(kvtest::FromUtf8(partial)), "someone's");

    kvtest::WriteBytes(kvtest::FromUtf8(second), "failed");
    w.p.DiscardOutput(second);
    EXPECT_FALSE(fs::exists(kvtest::FromUtf8(second)));
    w.p.DiscardOutput(second);  // gone already: nothing happens
    // A folder that does not exist refuses the name for good.
    kvtest::WriteBytes(kvtest::FromUtf8(second), "whole");
    EXPECT_EQ(w.p.CommitOutput(second, kvtest::Utf8(out.Path() / L"no such folder" / L"x.mp3"), true),
              kv::Commit::Failed);
}

// A place deep in a tree is made from the root down, a name a file holds is
// no folder, and the MP3 takes its source's dates and keeps its bytes.
TEST(RunPlatform, FoldersAreMadeAsNeededAndDatesCopied) {
    TempFolder out;
    Platform w;
    const fs::path deep = out.Path() / L"Trip" / L"Day 1" / L"\u00e9t\u00e9";
    EXPECT_TRUE(w.p.MakeFolder(kvtest::Utf8(deep)));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(w.p.MakeFolder(kvtest::Utf8(deep))) << "there already";
    // Past the 260-character limit, in steps no single call could make.
    fs::path longer = out.Path();
    for (int i = 0; i < 8; ++i) longer /= std::wstring(40, static_cast<wchar_t>(L'a' + i));
    ASSERT_GT(longer.native().size(), 300u);
    EXPECT_TRUE(w.p.MakeFolder(kvtest::Utf8(longer)));
    EXPECT_NE(::GetFileAttributesW((L"\\\\?\\" + longer.native()).c_str()), INVALID_FILE_ATTRIBUTES);
    kvtest::WriteBytes(out.Path() / L"file", "x");
    EXPECT_FALSE(w.p.MakeFolder(kvtest::Utf8(out.Path() / L"file" / L"below")));

    const fs::path source = out.Path() / L"clip.mp4", mp3 = deep / L"clip.mp3";
    kvtest::WriteBytes(source, "video");
    kvtest::WriteBytes(mp3, "sound");
    FILETIME created{}, written{};
    ::SYSTEMTIME t{2019, 7, 0, 14, 9, 30, 0, 0};
    ::SystemTimeToFileTime(&t, &created);
    t.wYear = 2021;
    ::SystemTimeToFileTime(&t, &written);
    {
        const kv::win::UniqueFile f(
            ::CreateFileW(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(::SetFileTime(f.Get(), &created, nullptr, &written));
    }
    WIN32_FILE_ATTRIBUTE_DATA a{};
    ASSERT_TRUE(::GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &a));
    // A volume that keeps no creation time of its own (Wine's over a Linux one) cannot give one either.
    const bool keepsCreation = ::CompareFileTime(&a.ftCreationTime, &created) == 0;
    w.p.CopyDates(kvtest::Utf8(source), kvtest::Utf8(mp3));
    ASSERT_TRUE(::GetFileAttributesExW(mp3.c_str(), GetFileExInfoStandard, &a));
    if (keepsCreation) {
        EXPECT_EQ(::CompareFileTime(&a.ftCreationTime, &created), 0);
    }
    EXPECT_EQ(::CompareFileTime(&a.ftLastWriteTime, &written), 0);
    EXPECT_EQ(kvtest::ReadBytes(mp3), "sound");
    w.p.CopyDates(kvtest::Utf8(out.Path() / L"gone.mp4"), kvtest::Utf8(mp3));  // nothing to take: nothing changes
    ASSERT_TRUE(::GetFileAttributesExW(mp3.c_str(), GetFileExInfoStandard, &a));
    EXPECT_EQ(::CompareFileTime(&a.ftLastWriteTime, &written), 0);
}

// An older MP3 open in a player that does not share deletion, or the new file
// held by a sync client: the name cannot be given now, later it can.
TEST(RunPlatform, AFileHeldByAnotherProgramIsHeldNotFailed) {
    TempFolder out;
    Platform w;
    const fs::path final = out.Path() / L"song.mp3", partial = out.Path() / L"song.mp3.1-1.korvello-part";
    kvtest::WriteBytes(final, "older");
    kvtest::WriteBytes(partial, "whole");
    {
        const auto player = Hold(final, FILE_SHARE_READ);
        ASSERT_TRUE(player);
        EXPECT_EQ(w.p.CommitOutput(kvtest::Utf8(partial), kvtest::Utf8(final), true), kv::Commit::Held);
        EXPECT_EQ(kvtest::ReadBytes(final), "older");
    }
    {
        // Held without read sharing: the tick's measure cannot open it, and says so.
        const auto scanner = Hold(partial, FILE_SHARE_WRITE);
        ASSERT_TRUE(scanner);
        const kv::OutputSize held = w.p.MeasureOutput(kvtest::Utf8(partial));
        EXPECT_TRUE(held.exists);
        EXPECT_FALSE(held.readable);
        EXPECT_EQ(w.p.CommitOutput(kvtest::Utf8(partial), kvtest::Utf8(final), true), kv::Commit::Held);
    }
    const kv::OutputSize free = w.p.MeasureOutput(kvtest::Utf8(partial));
    EXPECT_TRUE(free.readable);
    EXPECT_EQ(free.bytes, 5);
    EXPECT_FALSE(w.p.MeasureOutput(kvtest::Utf8(out.Path() / L"none.mp3")).exists);
    EXPECT_EQ(w.p.CommitOutput(kvtest::Utf8(partial), kvtest::Utf8(final), true), kv::Commit::Done);
    EXPECT_EQ(kvtest::ReadBytes(final), "whole");
}

// Without leave to replace, a file of the name stays, whatever the case of its
// name; the volume's own comparison and the files' identities say which names are one.
TEST(RunPlatform, NamesAndFilesAsTheVolumeKnowsThem) {
    TempFolder out;
    Platform w;
    const fs::path older = out.Path() / L"\u00C9t\u00E9.mp3", partial = out.Path() / L"x.korvello-part";
    kvtest::WriteBytes(older, "older");
    kvtest::WriteBytes(partial, "whole");
    const std::string twin = kvtest::Utf8(out.Path() / L"\u00E9t\u00E9.mp3");
    EXPECT_TRUE(w.p.SameName(kvtest::Utf8(older), twin));
    EXPECT_FALSE(w.p.SameName(kvtest::Utf8(older), kvtest::Utf8(out.Path() / L"ete.mp3")));
    EXPECT_EQ(w.p.CommitOutput(kvtest::Utf8(partial), twin, false), kv::Commit::Taken);
    EXPECT_EQ(kvtest::ReadBytes(older), "older");
    ASSERT_TRUE(fs::exists(partial)) << "the MP3 waits for another name";
    const auto id = w.p.IdentityOf(twin);
    ASSERT_TRUE(id);
    EXPECT_EQ(id, w.p.IdentityOf(kvtest::Utf8(older)));
    EXPECT_NE(id, w.p.IdentityOf(kvtest::Utf8(partial)));
    EXPECT_FALSE(w.p.IdentityOf(kvtest::Utf8(out.Path() / L"none.mp3")));
    // The short alias of a long name reaches the same file.
    const fs::path longName = out.Path() / L"a rather long name of a song.mp3";
    kvtest::WriteBytes(longName, "long");
    wchar_t alias[MAX_PATH] = {};
    if (::GetShortPathNameW(longName.c_str(), alias, MAX_PATH) && fs::path(alias).filename() != longName.filename()) {
        EXPECT_EQ(w.p.IdentityOf(kvtest::Utf8(alias)), w.p.IdentityOf(kvtest::Utf8(longName))) << kvtest::Utf8(alias);
    }
    // A free name is given; the MP3 reached the disk whole.
    EXPECT_EQ(w.p.CommitOutput(kvtest::Utf8(partial), kvtest::Utf8(out.Path() / L"\u00E9t\u00E9 (2).mp3"), false),
              kv::Commit::Done);
    EXPECT_EQ(kvtest::ReadBytes(out.Path() / L"\u00E9t\u00E9 (2).mp3"), "whole");
}

// The run's clock is the system's unbiased interrupt time, which stops while
// the PC sleeps; the tick count would count the sleep as a stall.
// While the transcoder runs, how far it says it has come is read from its
// report through a handle of the program's own, the child writing on meanwhile.
TEST(RunPlatform, TheRunningTranscodersReportTellsHowFarItHasCome) {
    TempFolder dir(L"kvtool"), out;
    const fs::path exe = dir.Path() / L"ffmpeg.exe";
    fs::copy_file(kvtest::ProgramFolder() / L"kv_child.exe", exe);
    const fs::path in = dir.Path() / L"in.mp4";
    kvtest::WriteBytes(in, "damage 12 size 100 sleep 4000");
    Platform w;
    const std::string args = " -i \"" + kvtest::Utf8(in) + "\" -f mp3 \"" + kvtest::Utf8(out.Path() / L"x.part") + "\"";
    auto t = w.p.StartTranscoder(kvtest::Utf8(exe), args, 1);
    ASSERT_TRUE(t);
    std::optional<double> reached;
    ASSERT_TRUE(kvtest::PumpUntil([&] { return (reached = t->ReachedSoFar()).has_value(); }, 3000));
    EXPECT_DOUBLE_EQ(*reached, 12.0);
    EXPECT_FALSE(t->Exited()) << "read while it still runs";
    t->Terminate();
    // Reading did not move the child's writing position: the whole report is there.
    const std::optional<std::string> log = t->ErrorOutput();
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("partial file"), std::string::npos);
    EXPECT_NE(log->find("time=00:00:12.00"), std::string::npos);
}

TEST(RunPlatform, TheClockIsTheTimeThePcWasAwake) {
    Platform w;
    ULONGLONG before = 0, after = 0;
    ASSERT_TRUE(::QueryUnbiasedInterruptTime(&before));
    const std::uint64_t now = w.p.NowMs();
    ASSERT_TRUE(::QueryUnbiasedInterruptTime(&after));
    EXPECT_GE(now, before / 10000);
    EXPECT_LE(now, after / 10000);
    const std::uint64_t awake = kv::win::AwakeMs();
    EXPECT_GE(awake, after / 10000);
    EXPECT_LT(awake, after / 10000 + 1000) << "the same clock";
    ::Sleep(100);
    EXPECT_GE(w.p.NowMs() - now, 50u) << "the timer tick of the clock is coarse";
}

}  // namespace
