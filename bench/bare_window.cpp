// The start-up baselines that korvello.exe is compared with. Plain: one window
// class, one window, a message loop. Built with -DKV_WITH_LIBS (and the
// program's manifest): the same start plus the system libraries Korvello
// initialises, themed common controls and OLE, and one list view, so that what
// remains of the difference is the program's own work.
#include <windows.h>
#ifdef KV_WITH_LIBS
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#endif

namespace {

#ifdef KV_WITH_LIBS
// One entry of each library Korvello imports, so the loader maps the same set.
void* volatile g_imports[] = {reinterpret_cast<void*>(&::GetOpenFileNameW), reinterpret_cast<void*>(&::ShellExecuteW),
                              reinterpret_cast<void*>(&::PathFileExistsW), reinterpret_cast<void*>(&::RegOpenKeyExW)};
#endif

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
#ifdef KV_WITH_LIBS
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::OleInitialize(nullptr);
#endif
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KvBareWindow";
    if (!::RegisterClassExW(&wc)) return 1;
    // The same size as Korvello's window, so both ask the display for as much.
    HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"Bare window", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 503, 479,
                               nullptr, nullptr, instance, nullptr);
    if (!w) return 1;
#ifdef KV_WITH_LIBS
    ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 15, 196, 473, 173, w,
                      nullptr, instance, nullptr);
#endif
    ::ShowWindow(w, show);
    ::UpdateWindow(w);
    MSG m;
    while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&m);
        ::DispatchMessageW(&m);
    }
#ifdef KV_WITH_LIBS
    ::OleUninitialize();
#endif
    return static_cast<int>(m.wParam);
}
