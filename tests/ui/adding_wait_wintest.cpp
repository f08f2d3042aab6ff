// The window while files are probed: Esc stops the adding, Alt+F4, the close
// button and a WM_CLOSE from outside stop it and close the window once it is
// over, clicks and other keys are dropped, everything else (paint, timers,
// other programs' messages) is handled; the folder box counts and gets its
// text back.
#include "ui/adding_wait_win.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/win_test_util.h"

namespace {

// A top-level window with an edit child that counts what reaches it.
struct Counted {
    int clicks = 0, timers = 0, closes = 0, limits = 0;
};
Counted g_seen;

LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_LBUTTONDOWN || m == WM_KEYDOWN) ++g_seen.clicks;
    if (m == WM_TIMER) ++g_seen.timers;
    if (m == WM_CLOSE) {
        ++g_seen.closes;
        return 0;
    }
    if (m == EM_SETLIMITTEXT) ++g_seen.limits;
    return ::DefWindowProcW(h, m, w, l);
}

class AddingWindow : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = {};
        WNDCLASSW wc{};
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KvAddingWaitTest";
        ::RegisterClassW(&wc);
        window = ::CreateWindowExW(0, wc.lpszClassName, L"t", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        box = ::CreateWindowExW(0, L"EDIT", L"C:\\Videos\\Trip", WS_CHILD, 0, 0, 200, 20, window, nullptr, nullptr,
                                nullptr);
        ASSERT_TRUE(window && box);
    }
    void TearDown() override { ::DestroyWindow(window); }
    std::wstring BoxText() const {
        wchar_t t[128] = {};
        ::GetWindowTextW(box, t, 128);
        return t;
    }
    HWND window = nullptr, box = nullptr;
};

TEST_F(AddingWindow, EscStopsItWhileClicksAreDroppedAndOtherMessagesHandled) {
    kv::ui::AddingWait wait(window, box);
    wait.Begin(200);
    wait.Progress(37, 200);
    EXPECT_EQ(BoxText(), L"Adding 37 of 200");
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ::PostMessageW(box, WM_KEYDOWN, 'A', 0);
    ::PostMessageW(window, WM_TIMER, 7, 0);
    ::PostMessageW(window, EM_SETLIMITTEXT, 5, 0);
    wait.Wake();
    EXPECT_TRUE(wait.Wait());
    EXPECT_EQ(g_seen.clicks, 0) << "input is dropped while adding";
    EXPECT_EQ(g_seen.timers, 1);
    EXPECT_EQ(g_seen.limits, 1);
    ::PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(wait.Wait());
    wait.End();
    EXPECT_EQ(BoxText(), L"C:\\Videos\\Trip");
    kvtest::PumpFor(50);
    EXPECT_EQ(g_seen.closes, 0) << "Esc stops the adding alone";
    // A new run starts unstopped.
    wait.Begin(3);
    wait.Wake();
    EXPECT_TRUE(wait.Wait());
    wait.End();
}

TEST_F(AddingWindow, TheCloseButtonAltF4AndAnOutsideCloseStopAndCloseAfterwards) {
    kv::ui::AddingWait wait(window, box);
    const MSG button{window, WM_NCLBUTTONDOWN, HTCLOSE, 0, 0, {}};
    const MSG altF4{box, WM_SYSKEYDOWN, VK_F4, 0, 0, {}};
    const MSG caption{window, WM_NCLBUTTONDOWN, HTCAPTION, 0, 0, {}};
    EXPECT_EQ(kv::ui::ClassifyAddingInput(button, window), kv::ui::AddingInput::StopAndClose);
    EXPECT_EQ(kv::ui::ClassifyAddingInput(altF4, window), kv::ui::AddingInput::StopAndClose);
    EXPECT_EQ(kv::ui::ClassifyAddingInput(caption, window), kv::ui::AddingInput::Drop);
    wait.Begin(10);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(wait.Wait());
    EXPECT_EQ(g_seen.closes, 0) << "not while the adding unwinds";
    wait.End();
    kvtest::PumpFor(50);
    EXPECT_EQ(g_seen.closes, 1);
}

TEST_F(AddingWindow, AnAnswerFromAnotherThreadEndsTheWaitAndAQuitIsKept) {
    kv::ui::AddingWait wait(window, box);
    wait.Begin(1);
    std::thread answer([&] {
        ::Sleep(30);
        wait.Wake();
    });
    EXPECT_TRUE(wait.Wait());
    answer.join();
    ::PostQuitMessage(3);
    EXPECT_FALSE(wait.Wait()) << "a quit stops the adding";
    wait.End();
    MSG m;
    ASSERT_TRUE(::PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "and is kept for the message loop";
    EXPECT_EQ(m.wParam, 3u);
}

}  // namespace
