#include "app/main_instance.h"

#include <gtest/gtest.h>

#include "app/application.h"
#include "win/text.h"

namespace {

// A window that records what a second copy sends it.
struct Receiver {
    static inline std::wstring lastText;
    static inline int messages = 0;
    HWND hwnd = nullptr;
    Receiver() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
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

}  // namespace
