#include "app/main_instance_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/application_win.h"
#include "app/handover.h"
#include "components/BrowseForFolderU_win.h"
#include "support/win_test_util.h"
#include "win/handle.h"
#include "win/text.h"

namespace {

// A window that records what a second copy sends it.
struct Receiver {
    static inline std::wstring lastText;
    static inline int messages = 0;
    static inline std::vector<std::u16string> handedOver;
    HWND hwnd = nullptr;
    Receiver() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_COPYDATA) {
                const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
                if (data->dwData != kv::kHandOverTag) return FALSE;
                handedOver = kv::UnpackHandOver(data->lpData, data->cbData);
                return TRUE;
            }
            if (m == kv::kPassParametersMessage) {
                ++messages;
                wchar_t buf[512] = {};
                ::GlobalGetAtomNameW(static_cast<ATOM>(w), buf, 512);
                lastText = buf;
                return 0;
            }
            return ::DefWindowProcW(h, m, w, l);
        };
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KvTestReceiver";
        ::RegisterClassW(&wc);
        hwnd =
            ::CreateWindowExW(0, L"KvTestReceiver", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
        lastText.clear();
        messages = 0;
        handedOver.clear();
    }
    ~Receiver() { ::DestroyWindow(hwnd); }
};

TEST(PassParameters, SendsCollectedTextInAnAtomAndDeletesIt) {
    Receiver r;
    EXPECT_FALSE(kv::PassParameters(r.hwnd, {}));
    EXPECT_EQ(Receiver::messages, 0);
    EXPECT_TRUE(kv::PassParameters(r.hwnd, {"C:\\v\\Лекция 1.mp4"}));
    EXPECT_EQ(Receiver::messages, 1);
    EXPECT_EQ(Receiver::lastText, L"C:\\v\\Лекция 1.mp4 ");
    EXPECT_EQ(::GlobalFindAtomW(L"C:\\v\\Лекция 1.mp4 "), 0) << "the atom must be deleted after the send";
    EXPECT_TRUE(kv::PassParameters(r.hwnd, {"a.mp4", "b.EXE", "c.mp4"}));
    EXPECT_EQ(Receiver::lastText, L"c.mp4 ");
    EXPECT_FALSE(kv::PassParameters(r.hwnd, {"a.mp4", "korvello.exe"}));
    EXPECT_EQ(Receiver::messages, 2);
}

// The parameters go to the other copy's main window, found by its class among
// the windows its application window owns, and never to a popup of that copy.
TEST(PassParameters, OnlyTheOtherCopysMainWindowIsTheTarget) {
    HWND app = ::CreateWindowExW(0, L"STATIC", L"other copy", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(app);
    Receiver form;
    ::SetWindowLongPtrW(form.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(app));  // owned by the other copy
    Receiver stray;  // the main window's class, but not the other copy's; newer, so listed first
    // A popup of the other copy, the last one it activated (as a folder picker would be).
    HWND popup = ::CreateWindowExW(0, L"STATIC", L"picker", WS_POPUP, 0, 0, 1, 1, app, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(popup);
    EXPECT_EQ(kv::ParameterTarget(app, L"KvTestReceiver"), form.hwnd);
    EXPECT_EQ(kv::ParameterTarget(app, L"NoSuchMainWindowClass"), nullptr);
    ::DestroyWindow(popup);
    ::DestroyWindow(app);
}

TEST(InstanceCheck, CountsWindowsWithTheApplicationsClassAndTitle) {
    const std::string title = "KvInstanceTest-" + std::to_string(::GetCurrentProcessId());
    kv::TApplication own;
    own.SetTitle(title);
    ASSERT_TRUE(own.Initialize());
    kv::FindOtherInstance(own.Handle());
    EXPECT_EQ(kv::InstanceState().MatchCount, 1);
    EXPECT_EQ(kv::InstanceState().OtherAppWindow, nullptr);

    // Same class, other title: not a copy. Same class and title: a copy.
    kv::TApplication stranger;
    stranger.SetTitle(title + "x");
    ASSERT_TRUE(stranger.Initialize());
    kv::TApplication other;
    other.SetTitle(title);
    ASSERT_TRUE(other.Initialize());
    kv::FindOtherInstance(own.Handle());
    EXPECT_EQ(kv::InstanceState().MatchCount, 2);
    EXPECT_EQ(kv::InstanceState().OtherAppWindow, other.Handle());
    EXPECT_EQ(kv::InstanceState().OwnClassName, L"TApplication");

    // With two copies, the last one met in the enumeration is taken.
    kv::TApplication third;
    third.SetTitle(title);
    ASSERT_TRUE(third.Initialize());
    // The enumeration goes down the z-order; walked here window by window.
    const std::wstring wtitle = kv::win::Widen(title);
    HWND last = nullptr;
    for (HWND h = ::GetWindow(::GetDesktopWindow(), GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        wchar_t cls[256], text[256];
        if (h != own.Handle() && ::GetClassNameW(h, cls, 256) > 0 && std::wstring(cls) == L"TApplication" &&
            ::GetWindowTextW(h, text, 256) > 0 && text == wtitle)
            last = h;
    }
    kv::FindOtherInstance(own.Handle());
    EXPECT_EQ(kv::InstanceState().MatchCount, 3);
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(last == other.Handle() || last == third.Handle());
    EXPECT_EQ(kv::InstanceState().OtherAppWindow, last);
}

std::u16string U16(const std::wstring& w) { return {w.begin(), w.end()}; }

TEST(HandOver, RelativePathsBecomeFullOnesOfThisCopysFolder) {
    kvtest::TempFolder dir(L"kv full Лекция");
    wchar_t before[MAX_PATH * 4];
    ::GetCurrentDirectoryW(MAX_PATH * 4, before);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    const std::string deep = "C:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b') + "\\c.mp4";
    const auto full = kv::FullPaths({"clip.mp4", "sub\\..\\Видео.mp4", "C:\\x\\.\\y.mp4", deep, ""});
    ::SetCurrentDirectoryW(before);
    const std::string base = kv::win::Narrow(dir.Path().wstring());
    EXPECT_EQ(full, (std::vector<std::string>{base + "\\clip.mp4", base + "\\Видео.mp4", "C:\\x\\y.mp4", deep}));
}

TEST(HandOver, EveryPathReachesTheWindowWhole) {
    Receiver r;
    const std::string longPath = "C:\\" + std::string(200, 'l') + "\\" + std::string(120, 'm') + "\\clip.mp4";
    ASSERT_GT(longPath.size(), 300u);
    std::vector<std::string> paths{longPath, "C:\\Видео\\Лекция 1.mp4", "D:\\Clips"};
    for (int i = 0; i < 2000; ++i) paths.push_back("C:\\many\\" + std::to_string(i) + ".mp4");
    EXPECT_TRUE(kv::HandOverPaths(r.hwnd, nullptr, paths));
    ASSERT_EQ(Receiver::handedOver.size(), paths.size());
    EXPECT_EQ(Receiver::handedOver[0], U16(kv::win::Widen(longPath)));
    EXPECT_EQ(Receiver::handedOver[1], u"C:\\Видео\\Лекция 1.mp4");
    EXPECT_EQ(Receiver::handedOver.back(), u"C:\\many\\1999.mp4");
    EXPECT_FALSE(kv::HandOverPaths(r.hwnd, nullptr, {})) << "nothing to hand over sends nothing";
}

TEST(HandOver, AWindowThatDoesNotTakeItOrHangsIsAFailureNotAWait) {
    kv::win::UniqueWindow plain(::CreateWindowExW(0, L"STATIC", L"not a copy", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                  ::GetModuleHandleW(nullptr), nullptr));
    EXPECT_FALSE(kv::HandOverPaths(plain.Get(), nullptr, {"C:\\a.mp4"})) << "a window that answers 0 took nothing";

    // A window whose thread stops taking messages, as a hung copy's would.
    std::atomic<HWND> hung{nullptr};
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        HWND w = ::CreateWindowExW(0, L"STATIC", L"hung", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        hung = w;
        ::WaitForSingleObject(release, 20000);
        ::DestroyWindow(w);
    });
    while (!hung) ::Sleep(10);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(kv::HandOverPaths(hung, nullptr, {"C:\\a.mp4"}, 1000));
    EXPECT_LT(::GetTickCount64() - start, 10000u) << "the send gave up at its limit";
    ::SetEvent(release);
    owner.join();
    ::CloseHandle(release);
}

// A second copy starting while the running one shows its folder picker: the
// picker's OK button stays enabled (the parameter message's number is the
// picker's own "enable OK"), and the paths still reach the main window.
TEST(HandOver, TheFolderPickersOkStaysEnabledWhenASecondCopyStarts) {
    HWND app = ::CreateWindowExW(0, L"STATIC", L"other copy", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(app);
    Receiver form;
    ::SetWindowLongPtrW(form.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(app));
    const DWORD uiThread = ::GetCurrentThreadId();
    bool handed = false, okEnabled = false, pickerFound = false;
    HWND picker = nullptr;
    std::thread second([&] {
        for (int i = 0; i < 300 && !picker; ++i) {
            ::Sleep(50);
            ::EnumThreadWindows(
                uiThread,
                [](HWND h, LPARAM lp) -> BOOL {
                    wchar_t cls[16] = {};
                    ::GetClassNameW(h, cls, 16);
                    if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(h)) return TRUE;
                    *reinterpret_cast<HWND*>(lp) = h;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&picker));
        }
        if (!picker) return;
        pickerFound = true;
        ::Sleep(300);  // the picker enables OK once its start folder is selected
        handed = kv::HandToRunningCopy(app, nullptr, {"C:\\a.mp4"}, L"KvTestReceiver") == kv::Delivery::Taken;
        okEnabled = ::IsWindowEnabled(::GetDlgItem(picker, IDOK)) != FALSE;
        ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    (void)kv::BrowseForFolder("Select Output Folder", kv::win::Narrow(temp), false, form.hwnd);
    second.join();
    ::DestroyWindow(app);
    ASSERT_TRUE(pickerFound);
    EXPECT_TRUE(handed);
    EXPECT_EQ(Receiver::handedOver, std::vector<std::u16string>{u"C:\\a.mp4"});
    EXPECT_EQ(Receiver::messages, 1) << "the parameter message went to the main window";
    EXPECT_TRUE(okEnabled);
}

// The mutex decides the first copy once and for all: another thread (as
// another copy would) cannot take it while it is held, and can once it goes.
TEST(InstanceLock, OneHolderAtATimeAndItsNameHoldsTheUsersSid) {
    const std::wstring name = kv::InstanceMutexName("KvLockTest-" + std::to_string(::GetCurrentProcessId()));
    EXPECT_TRUE(name.starts_with(L"Local\\KvLockTest-")) << kv::win::Narrow(name);
    EXPECT_NE(name.find(L"-S-1-"), std::wstring::npos) << kv::win::Narrow(name);
    EXPECT_EQ(name.find(L'\\', 6), std::wstring::npos) << "one backslash, the namespace's";
    auto first = std::make_unique<kv::InstanceLock>(name);
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->Held());
    bool other = true;
    std::thread([&] {
        kv::InstanceLock later(name);
        other = later.TryAcquire();
    }).join();
    EXPECT_FALSE(other) << "a second holder while the first holds it";
    first.reset();
    std::thread([&] {
        kv::InstanceLock later(name);
        other = later.TryAcquire();
    }).join();
    EXPECT_TRUE(other) << "free once the first copy has gone";
}

// A first copy on a thread of its own: its application window (marked or
// not), the main window that takes hand-overs, and its message loop.
class FirstCopy {
public:
    FirstCopy(std::string title, bool mark, DWORD delayMs, LRESULT answer = TRUE)
        : title_(std::move(title)), thread_([this, mark, delayMs, answer] { Run(mark, delayMs, answer); }) {}
    ~FirstCopy() {
        while (!tid_) ::Sleep(5);
        ::PostThreadMessageW(tid_, WM_QUIT, 0, 0);
        thread_.join();
    }
    static inline std::vector<std::u16string> received;

private:
    void Run(bool mark, DWORD delayMs, LRESULT answer) {
        MSG m;
        ::PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, for the quit message
        tid_ = ::GetCurrentThreadId();
        ::Sleep(delayMs);
        kv::TApplication app;
        app.SetTitle(title_);
        app.Initialize();
        static LRESULT reply;
        reply = answer;
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            if (msg != WM_COPYDATA) return ::DefWindowProcW(h, msg, w, l);
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
            if (reply) received = kv::UnpackHandOver(data->lpData, data->cbData);
            return reply;
        };
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KvTestFirstForm";
        ::RegisterClassW(&wc);
        HWND form = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, app.Handle(), nullptr,
                                      wc.hInstance, nullptr);
        if (mark) kv::MarkFirstCopy(app.Handle());
        while (::GetMessageW(&m, nullptr, 0, 0) > 0) ::DispatchMessageW(&m);
        ::DestroyWindow(form);
    }
    std::string title_;
    std::atomic<DWORD> tid_{0};
    std::thread thread_;
};

struct LaterCopy {
    explicit LaterCopy(const std::string& title) : lock(kv::InstanceMutexName(title)) {
        app.SetTitle(title);
        app.Initialize();
    }
    kv::LaterCopyResult HandOver(const std::vector<std::string>& params, DWORD boundMs) {
        return kv::HandToFirstCopy(lock, app.Handle(), params, L"KvTestFirstForm", boundMs);
    }
    kv::TApplication app;
    kv::InstanceLock lock;
};

// Holds the mutex on a thread of its own, as the first copy's would be held.
class HeldMutex {
public:
    explicit HeldMutex(const std::string& title)
        : thread_([this, title] {
              kv::InstanceLock lock(kv::InstanceMutexName(title));
              held_ = lock.TryAcquire();
              ready_ = true;
              while (!release_) ::Sleep(5);
          }) {
        while (!ready_) ::Sleep(5);
    }
    ~HeldMutex() { Release(); }
    void Release() {
        release_ = true;
        if (thread_.joinable()) thread_.join();
    }
    [[nodiscard]] bool Held() const { return held_; }

private:
    std::atomic<bool> held_{false}, ready_{false}, release_{false};
    std::thread thread_;
};

std::string UniqueTitle(const char* what) {
    return std::string("KvLater-") + what + "-" + std::to_string(::GetTickCount64());
}

// Any program can make a window of the first copy's class and title and mark
// it: a later copy hands files only to a window whose process runs Korvello.
TEST(LaterCopy, AWindowPosingAsTheFirstCopyGetsNothing) {
    const std::string title = UniqueTitle("pose");
    HeldMutex mutex(title);
    ASSERT_TRUE(mutex.Held());
    LaterCopy later(title);
    wchar_t appClass[256] = {};
    ASSERT_GT(::GetClassNameW(later.app.Handle(), appClass, 256), 0);
    std::wstring line = L"\"" + (kvtest::ProgramFolder() / L"kv_child.exe").wstring() + L"\" --pose \"" + appClass +
                        L"\" \"" + kv::win::Widen(title) + L"\" KvTestFirstForm 6000";
    PROCESS_INFORMATION pi{};
    STARTUPINFOW si{sizeof si};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    const kv::win::UniqueHandle impostor(pi.hProcess);
    const kv::win::UniqueHandle thread(pi.hThread);
    ::Sleep(1500);  // its windows are up
    EXPECT_EQ(later.HandOver({"C:\\a.mp4"}, 2000), kv::LaterCopyResult::NoAnswer);
    ASSERT_EQ(::WaitForSingleObject(impostor.Get(), 15000), WAIT_OBJECT_0);
    DWORD received = 99;
    ::GetExitCodeProcess(impostor.Get(), &received);
    EXPECT_EQ(received, 0u) << "the impostor was handed files";
}

TEST(LaterCopy, WaitsForAFirstCopyStillStartingAndHandsItsFilesOver) {
    const std::string title = UniqueTitle("wait");
    HeldMutex mutex(title);
    ASSERT_TRUE(mutex.Held());
    FirstCopy::received.clear();
    FirstCopy first(title, true, 1500);  // its windows appear only after a while
    LaterCopy later(title);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(later.HandOver({"C:\\a.mp4", "C:\\Видео\\b.mp4"}, 15000), kv::LaterCopyResult::Handed);
    EXPECT_GE(::GetTickCount64() - start, 1000u) << "it waited for the first copy";
    EXPECT_EQ(FirstCopy::received, (std::vector<std::u16string>{u"C:\\a.mp4", u"C:\\Видео\\b.mp4"}));
}

TEST(LaterCopy, OnlyTheMarkedFirstCopyTakesFilesAndABoundEndsTheWait) {
    const std::string title = UniqueTitle("unmarked");
    HeldMutex mutex(title);
    FirstCopy::received.clear();
    FirstCopy other(title, false, 0);  // a copy that is itself still waiting: not marked
    LaterCopy later(title);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(later.HandOver({"C:\\a.mp4"}, 1500), kv::LaterCopyResult::NoAnswer);
    const ULONGLONG waited = ::GetTickCount64() - start;
    EXPECT_GE(waited, 1400u);
    EXPECT_LT(waited, 10000u);
    EXPECT_TRUE(FirstCopy::received.empty()) << "nothing went to an unmarked copy";
}

TEST(LaterCopy, AFirstCopyThatRefusesOrEndsDecidesAtOnce) {
    const std::string title = UniqueTitle("refuse");
    {
        HeldMutex mutex(title);
        FirstCopy full(title, true, 0, FALSE);  // answers, but has no room
        LaterCopy later(title);
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(later.HandOver({"C:\\a.mp4"}, 20000), kv::LaterCopyResult::Refused);
        EXPECT_LT(::GetTickCount64() - start, 10000u);
    }
    // The first copy ends while a later one waits: the later one becomes the first.
    const std::string gone = UniqueTitle("gone");
    HeldMutex mutex(gone);
    LaterCopy later(gone);
    std::thread end([&] {
        ::Sleep(500);
        mutex.Release();
    });
    EXPECT_EQ(later.HandOver({"C:\\a.mp4"}, 20000), kv::LaterCopyResult::BecameFirst);
    EXPECT_TRUE(later.lock.Held());
    end.join();
}

}  // namespace
