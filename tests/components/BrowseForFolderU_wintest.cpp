// The folder dialog, driven from a second thread that finds it and presses its buttons.
#include "components/BrowseForFolderU_win.h"

#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "win/handle.h"
#include "win/text.h"

namespace {

using kv::win::Narrow;
using kv::win::Widen;

// Stands in for the dialog: keeps what a selection request asked for.
struct SelectionProbe {
    int requests = 0;
    WPARAM isPath = 0;
    std::wstring folder;
};
SelectionProbe g_probe;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == BFFM_SETSELECTIONW) {
        ++g_probe.requests;
        g_probe.isPath = wp;
        g_probe.folder = reinterpret_cast<const wchar_t*>(lp);
        return TRUE;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

kv::win::UniqueWindow MakeWindow(const wchar_t* className, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    return kv::win::UniqueWindow(::CreateWindowExW(0, className, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                                   nullptr, wc.hInstance, nullptr));
}

TEST(BrowseForFolder, CallbackSelectsTheStartFolderOnceTheDialogIsUp) {
    g_probe = {};
    auto fake = MakeWindow(L"KvFakeBrowseDialog", &ProbeProc);
    ASSERT_TRUE(fake);
    const std::wstring start = L"C:\\Music\\Мелодії";
    const LPARAM data = reinterpret_cast<LPARAM>(&start);

    EXPECT_EQ(kv::detail::BrowseSelectionCallback(fake.Get(), BFFM_SELCHANGED, 0, data), 0);
    EXPECT_EQ(g_probe.requests, 0);
    EXPECT_EQ(kv::detail::BrowseSelectionCallback(fake.Get(), BFFM_INITIALIZED, 0, data), 0);
    EXPECT_EQ(g_probe.requests, 1);
    EXPECT_EQ(g_probe.isPath, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(g_probe.folder, start);
}

// What the helper thread saw of the dialog before it pressed a button.
struct DialogSeen {
    HWND dialog = nullptr;
    HWND owner = nullptr;
    bool hasTitle = false;
    int extraButtons = 0;  // visible buttons other than OK and Cancel
};

struct FindContext {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lp) {
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    if (std::wstring(cls) == L"#32770" && ::IsWindowVisible(hwnd)) {
        reinterpret_cast<FindContext*>(lp)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct ChildScan {
    std::wstring title;
    bool hasTitle = false;
    int extraButtons = 0;
};

BOOL CALLBACK ScanChildProc(HWND hwnd, LPARAM lp) {
    auto* scan = reinterpret_cast<ChildScan*>(lp);
    wchar_t cls[32] = {}, text[256] = {};
    ::GetClassNameW(hwnd, cls, 32);
    ::GetWindowTextW(hwnd, text, 256);
    if (scan->title == text) scan->hasTitle = true;
    const int id = ::GetDlgCtrlID(hwnd);
    if (_wcsicmp(cls, L"Button") == 0 && ::IsWindowVisible(hwnd) && id != IDOK && id != IDCANCEL) ++scan->extraButtons;
    return TRUE;
}

// The text of the folder tree's selected item, or empty.
std::wstring SelectedTreeText(HWND dialog) {
    HWND tree = nullptr;
    ::EnumChildWindows(
        dialog,
        [](HWND h, LPARAM lp) -> BOOL {
            wchar_t cls[32] = {};
            ::GetClassNameW(h, cls, 32);
            if (_wcsicmp(cls, WC_TREEVIEWW) != 0) return TRUE;
            *reinterpret_cast<HWND*>(lp) = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&tree));
    if (!tree) return {};
    auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return {};
    wchar_t text[MAX_PATH] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = MAX_PATH;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

// Runs BrowseForFolder while a helper thread waits for the dialog of this
// thread, looks at it and then presses `button`.
std::string Drive(const std::string& title, const std::string& initial, bool allowNewFolder, int button,
                  DialogSeen& seen, HWND owner = nullptr) {
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread helper([&] {
        FindContext ctx;
        const ULONGLONG end = ::GetTickCount64() + 15000;
        while (!ctx.found && ::GetTickCount64() < end) {
            ::Sleep(50);
            ::EnumThreadWindows(uiThread, &FindDialogProc, reinterpret_cast<LPARAM>(&ctx));
        }
        if (!ctx.found) return;
        // The dialog applies the start folder after it is up; wait for that
        // rather than for a fixed time, so a busy machine does not fail the test.
        const std::wstring leaf = Widen(initial.substr(initial.find_last_of('\\') + 1));
        while (!initial.empty() && SelectedTreeText(ctx.found) != leaf && ::GetTickCount64() < end) ::Sleep(50);
        ::Sleep(100);
        ChildScan scan{Widen(title)};
        ::EnumChildWindows(ctx.found, &ScanChildProc, reinterpret_cast<LPARAM>(&scan));
        seen.dialog = ctx.found;
        seen.owner = ::GetWindow(ctx.found, GW_OWNER);
        seen.hasTitle = scan.hasTitle;
        seen.extraButtons = scan.extraButtons;
        ::PostMessageW(ctx.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    });
    std::string result = kv::BrowseForFolder(title, initial, allowNewFolder, owner);
    helper.join();
    return result;
}

class BrowseDialogTest : public ::testing::Test {
protected:
    BrowseDialogTest() {
        wchar_t temp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, temp);
        base_ = std::wstring(temp) + L"kv browse " + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(base_.c_str(), nullptr);
        ::CreateDirectoryW((base_ + L"\\Вихід ü").c_str(), nullptr);
        ::CreateDirectoryW((base_ + L"\\second").c_str(), nullptr);
    }
    ~BrowseDialogTest() override {
        ::RemoveDirectoryW((base_ + L"\\Вихід ü").c_str());
        ::RemoveDirectoryW((base_ + L"\\second").c_str());
        ::RemoveDirectoryW(base_.c_str());
    }
    std::string Folder(const std::wstring& name) const { return Narrow(base_ + L"\\" + name); }

    std::wstring base_;
};

TEST_F(BrowseDialogTest, OkReturnsTheStartFolderAndEachCallUsesItsOwn) {
    auto owner = MakeWindow(L"KvBrowseOwner", &::DefWindowProcW);
    DialogSeen seen;
    EXPECT_EQ(Drive("Select Output Folder", Folder(L"Вихід ü"), false, IDOK, seen, owner.Get()), Folder(L"Вихід ü"));
    ASSERT_TRUE(seen.dialog);
    EXPECT_EQ(seen.owner, owner.Get());
    EXPECT_TRUE(seen.hasTitle);
    EXPECT_EQ(seen.extraButtons, 0);

    DialogSeen again;
    EXPECT_EQ(Drive("Select Output Folder", Folder(L"second"), false, IDOK, again), Folder(L"second"));
}

TEST_F(BrowseDialogTest, CancelGivesNothing) {
    DialogSeen seen;
    EXPECT_EQ(Drive("Pick", Folder(L"second"), false, IDCANCEL, seen), "");
    EXPECT_TRUE(seen.dialog);
}

TEST_F(BrowseDialogTest, NewFolderButtonOnlyWhenAllowed) {
    DialogSeen seen;
    (void)Drive("Pick", "", true, IDCANCEL, seen);
    ASSERT_TRUE(seen.dialog);
    EXPECT_GE(seen.extraButtons, 1);
}

}  // namespace
