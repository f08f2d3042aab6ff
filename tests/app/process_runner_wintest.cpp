#include "app/process_runner_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "support/win_test_util.h"
#include "win/text.h"
#include "win/utf8.h"

namespace {

namespace fs = std::filesystem;
using kvtest::TempFolder;

fs::path Child() { return kvtest::ProgramFolder() / L"kv_child.exe"; }

// A start in a console of its own, hidden; with `wait`, waited for to its end.
kv::LaunchResult Start(const fs::path& program, const std::string& parameters, bool wait) {
    return kv::Launch({.program = kvtest::Utf8(program), .parameters = parameters, .show = SW_HIDE, .wait = wait});
}

// What kv_child wrote: its working folder and its command line.
std::pair<std::wstring, std::wstring> ReadRecord(const fs::path& p) {
    std::string bytes = kvtest::ReadBytes(p);
    std::wstring w(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    auto nl = w.find(L'\n');
    auto nl2 = w.find(L'\n', nl + 1);
    return {w.substr(0, nl), w.substr(nl + 1, nl2 - nl - 1)};
}

TEST(ProcessRunner, RunsInTheProgramsFolderWithOneBlankBeforeParams) {
    TempFolder dir(L"kv runner");
    const fs::path exe = dir.Path() / L"sub dir" / L"child.exe";
    fs::create_directories(exe.parent_path());
    fs::copy_file(Child(), exe);
    const fs::path out = dir.Path() / L"record.txt";

    // A folder with a blank: the program must be quoted or Windows tries "...\kv.exe".
    ASSERT_EQ(Start(exe, "--write \"" + kvtest::Utf8(out) + "\"", true).outcome, kv::LaunchResult::Outcome::Ended);
    auto [cwd, cmd] = ReadRecord(out);
    EXPECT_EQ(fs::path(cwd), exe.parent_path());
    EXPECT_EQ(cmd, L"\"" + exe.wstring() + L"\" --write \"" + out.wstring() + L"\"");
}

TEST(ProcessRunner, LongCommandLinesAreNeitherCutNorOverflowing) {
    TempFolder dir;
    const fs::path out = dir.Path() / L"r.txt";
    const std::string pad(3000, 'x');
    ASSERT_TRUE(Start(Child(), "--write \"" + kvtest::Utf8(out) + "\" " + pad, true).Ran());
    auto rec = ReadRecord(out);
    EXPECT_EQ(rec.second, Child().wstring() + L" --write \"" + out.wstring() + L"\" " + std::wstring(3000, L'x'));
    // Beyond the system's limit the call fails cleanly.
    const kv::LaunchResult tooLong = Start(Child(), std::string(40000, 'y'), false);
    EXPECT_EQ(tooLong.outcome, kv::LaunchResult::Outcome::NotStarted);
    EXPECT_FALSE(tooLong.process);
}

// A child inherits its output handle and nothing else, not even a handle of
// ours made inheritable (as each transcoder's log is for its own child).
TEST(ProcessRunner, AChildInheritsItsOutputAndNoOtherHandle) {
    TempFolder dir;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    const kv::win::UniqueHandle other(::CreateEventW(&sa, TRUE, FALSE, nullptr));
    ASSERT_TRUE(other);
    const kv::win::UniqueFile log(::CreateFileW((dir.Path() / L"log.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(log);
    auto exitCodeHolding = [&](HANDLE h) {
        const std::string value = std::to_string(reinterpret_cast<std::uintptr_t>(h));
        const kv::LaunchResult r = kv::Launch(
            {.program = kvtest::Utf8(Child()), .arguments = {"--holds", value}, .show = SW_HIDE, .output = log.Get()});
        EXPECT_TRUE(r.process);
        if (!r.process) return DWORD{0};
        ::WaitForSingleObject(r.process.Get(), 10000);
        DWORD code = 0;
        ::GetExitCodeProcess(r.process.Get(), &code);
        return code;
    };
    EXPECT_EQ(exitCodeHolding(log.Get()), 9u) << "the output handle did not reach the child";
    EXPECT_EQ(exitCodeHolding(other.Get()), 0u) << "another inheritable handle reached the child";
    DWORD flags = 0;
    ASSERT_TRUE(::GetHandleInformation(log.Get(), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u) << "the output handle stayed inheritable after the start";
}

TEST(ProcessRunner, CreationFailureGivesFalse) {
    EXPECT_EQ(Start("C:\\no\\such\\program.exe", "", false).outcome, kv::LaunchResult::Outcome::NotStarted);
    EXPECT_EQ(Start("C:\\no\\such\\program.exe", "", true).outcome, kv::LaunchResult::Outcome::NotStarted);
    const kv::LaunchResult limited =
        kv::Launch({.program = "C:\\no\\such\\program.exe", .show = SW_HIDE, .wait = true, .timeLimitMs = 300});
    EXPECT_FALSE(limited.Ran());
    // Not started is not the same as ended for its time.
    EXPECT_EQ(limited.outcome, kv::LaunchResult::Outcome::NotStarted);
}

TEST(ProcessRunner, TimeLimitEndsAProcessThatOutlivesIt) {
    const ULONGLONG t0 = ::GetTickCount64();
    auto limited = [](const char* params, DWORD ms) {
        return kv::Launch({.program = kvtest::Utf8(Child()),
                           .parameters = params,
                           .show = SW_HIDE,
                           .inJob = true,
                           .wait = true,
                           .timeLimitMs = ms});
    };
    const kv::LaunchResult ended = limited("--sleep 30000", 300);
    const ULONGLONG took = ::GetTickCount64() - t0;
    EXPECT_FALSE(ended.Ran());
    EXPECT_EQ(ended.outcome, kv::LaunchResult::Outcome::TimedOut);
    EXPECT_GE(took, 300u) << "ended before its limit";
    // The child would sleep 30 s; ended at 300 ms, only Wine's process start and
    // end come on top, well under a second or two.
    EXPECT_LT(took, 5000u) << "the limit was not kept";
    EXPECT_EQ(limited("--sleep 10", 20000).outcome, kv::LaunchResult::Outcome::Ended);
}

// Counts the paints and presses a window is handed.
struct Handed {
    static inline int paints = 0;
    static inline int presses = 0;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_PAINT) {
            PAINTSTRUCT ps;
            ::BeginPaint(h, &ps);
            ::EndPaint(h, &ps);
            ++paints;
            return 0;
        }
        if (m == WM_LBUTTONDOWN) ++presses;
        return ::DefWindowProcW(h, m, w, l);
    }
};

TEST(ProcessRunner, WaitKeepsPaintingButHoldsInputBack) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Handed::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KvRunnerPaintCounter";
    ::RegisterClassW(&wc);
    HWND wnd =
        ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(wnd);
    ::SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::UpdateWindow(wnd);
    Handed::paints = 0;
    Handed::presses = 0;
    // Something to paint and a press (and a message like one) waiting, then the wait.
    ::InvalidateRect(wnd, nullptr, FALSE);
    ::PostMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(wnd, WM_USER + 7, 0, 0);
    ASSERT_EQ(Start(Child(), "--sleep 300", true).outcome, kv::LaunchResult::Outcome::Ended);
    EXPECT_GE(Handed::paints, 1) << "nothing was painted while waiting";
    EXPECT_EQ(Handed::presses, 0) << "input was handled while waiting";
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, wnd, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_TRUE(::PeekMessageW(&msg, wnd, WM_USER + 7, WM_USER + 7, PM_REMOVE));
    ::DestroyWindow(wnd);
}

// The transcoder's file twice: ours, and another program's of the same name
// in a folder of its own.
struct SameNamed {
    TempFolder dir;
    fs::path ours = dir.Path() / L"ffmpeg.exe";
    fs::path theirs;
    explicit SameNamed(const wchar_t* theirName) : theirs(dir.Path() / L"other" / theirName) {
        fs::create_directories(theirs.parent_path());
        fs::copy_file(Child(), ours);
        fs::copy_file(Child(), theirs);
    }
};

TEST(ProcessRunner, EndsOnlyTheTranscodersThisProgramStarted) {
    const SameNamed files(L"FFMPEG.EXE");
    const fs::path& ours = files.ours;
    const fs::path& theirs = files.theirs;

    EXPECT_FALSE(kv::EndProcessesByName("ffmpeg.exe"));  // none of ours runs

    // Another program's transcoder.
    kv::win::UniqueHandle other(kvtest::StartAsAnotherProgram(theirs, L"--sleep 20000"));
    ASSERT_TRUE(other);

    const kv::win::UniqueHandle mine =
        kv::Launch({.program = kvtest::Utf8(ours), .parameters = "--sleep 20000", .show = SW_HIDE}).process;
    ASSERT_TRUE(mine);
    ::Sleep(200);
    EXPECT_TRUE(kv::EndProcessesByName("FFmpeg.exe"));
    EXPECT_EQ(::WaitForSingleObject(mine.Get(), 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(mine.Get(), &code);
    EXPECT_EQ(code, 1u) << "ended with a code no finished transcoder gives";
    EXPECT_EQ(::WaitForSingleObject(other.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "another program's ffmpeg was ended";
    ::TerminateProcess(other.Get(), 0);
}

TEST(ProcessRunner, ShortNameHasNoBlanksAndKeepsUnknownPaths) {
    TempFolder dir;
    const fs::path f = dir.Path() / L"a long file name with blanks.txt";
    kvtest::WriteBytes(f, "x");
    const std::string shortName = kv::ShortName(kvtest::Utf8(f));
    EXPECT_EQ(shortName.find(' '), std::string::npos) << shortName;
    EXPECT_TRUE(fs::exists(kvtest::FromUtf8(shortName)));
    EXPECT_EQ(kv::ShortName("C:\\does not\\exist.txt"), "C:\\does not\\exist.txt");
}

// The current folder and Path are set for this test alone.
class SearchedFolders {
public:
    explicit SearchedFolders(const fs::path& onPath) {
        path_.resize(32767);
        path_.resize(::GetEnvironmentVariableW(L"Path", path_.data(), static_cast<DWORD>(path_.size())));
        cur_ = fs::current_path();
        ::SetEnvironmentVariableW(L"Path", (onPath.wstring() + L";" + path_).c_str());
    }
    ~SearchedFolders() {
        ::SetEnvironmentVariableW(L"Path", path_.c_str());
        fs::current_path(cur_);
    }
    SearchedFolders(const SearchedFolders&) = delete;
    SearchedFolders& operator=(const SearchedFolders&) = delete;

private:
    std::wstring path_;
    fs::path cur_;
};

TEST(ProcessRunner, AProgramNamedAloneRunsInTheFolderWhereItWasFound) {
    TempFolder dir(L"kv located");
    const fs::path along = dir.Path() / L"on path";
    fs::create_directories(along);
    fs::copy_file(Child(), along / L"kv_located_child.exe");
    const fs::path out = dir.Path() / L"record.txt";
    const SearchedFolders searched(along);
    fs::current_path(dir.Path());

    ASSERT_EQ(Start(L"kv_located_child.exe", "--write \"" + kvtest::Utf8(out) + "\"", true).outcome,
              kv::LaunchResult::Outcome::Ended);
    EXPECT_EQ(fs::path(ReadRecord(out).first), along) << "not the folder along Path";
    EXPECT_EQ(Start(L"surely-not-here-4711.exe", "", true).outcome, kv::LaunchResult::Outcome::NotStarted);
}

// Transcoders an earlier copy left running are ended by their program's full
// path, whoever started them; a program of the same name elsewhere is not.
TEST(ProcessRunner, EndsEveryProcessOfOurOwnInstalledProgramAndNoOther) {
    const SameNamed files(L"ffmpeg.exe");
    const fs::path& ours = files.ours;
    const fs::path& theirs = files.theirs;
    auto startDirectly = [](const fs::path& exe) {
        kv::win::UniqueHandle h(kvtest::StartAsAnotherProgram(exe, L"--sleep 20000"));
        EXPECT_TRUE(h);
        return h;
    };
    // Two left by an earlier copy, one of another program.
    kv::win::UniqueHandle left1 = startDirectly(ours), left2 = startDirectly(ours), other = startDirectly(theirs);
    ::Sleep(200);
    EXPECT_FALSE(kv::EndProcessesByName("ffmpeg.exe")) << "none of them was started by this copy";
    // The path in another case is still the same file.
    EXPECT_TRUE(kv::EndProcessesOfProgram(kv::UpperAscii(kvtest::Utf8(ours))));
    EXPECT_EQ(::WaitForSingleObject(left1.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(left2.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(other.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "another program's was ended";
    EXPECT_FALSE(kv::EndProcessesOfProgram(kvtest::Utf8(ours))) << "nothing of ours is left";
    ::TerminateProcess(other.Get(), 0);
}

}  // namespace

// The tools start below normal unless the user chose normal: the desktop stays
// responsive with every processor converting.
TEST(ProcessRunnerPriority, BelowNormalUnlessChosenOtherwise) {
    EXPECT_TRUE(kv::ToolsBelowNormal()) << "below normal by default";
    for (const bool below : {true, false}) {
        kv::LaunchResult r = kv::Launch({.program = kvtest::Utf8(Child()),
                                         .parameters = "--sleep 3000",
                                         .show = SW_HIDE,
                                         .console = false,
                                         .belowNormal = below});
        ASSERT_TRUE(r.process) << below;
        EXPECT_EQ(::GetPriorityClass(r.process.Get()),
                  static_cast<DWORD>(below ? BELOW_NORMAL_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS));
        ::TerminateProcess(r.process.Get(), 1);
        ::WaitForSingleObject(r.process.Get(), 5000);
    }
    kv::SetToolsBelowNormal(false);
    EXPECT_FALSE(kv::ToolsBelowNormal());
    kv::SetToolsBelowNormal(true);
}
