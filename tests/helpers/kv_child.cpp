// A child process for the runner's tests: records how it was started, sleeps,
// or exits with a given code. Started with the transcoder's argument line
// (-i IN ... OUT) it stands in for the transcoder, doing what IN says.
#include <windows.h>

#include <cstdint>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>

namespace {

// IN holds words in pairs: "size N" writes N bytes to OUT, "sleep MS" then
// waits, "exit CODE" is the exit code, "damage S" reports a file cut short
// after S seconds of sound on the error output as the transcoder does, "noaudio 1" a file without sound,
// "nosummary 1" ends without the summary the transcoder writes after a whole run. OUT is opened
// with full sharing, as the real transcoder opens it.
int StandInTranscoder(const wchar_t* in, const wchar_t* out) {
    std::ifstream f(in, std::ios::binary);
    std::string word;
    long long size = -1;
    unsigned long sleepMs = 0;
    int code = 0;
    long long value = 0;
    bool summary = true;
    while (f >> word >> value) {
        if (word == "nosummary") summary = false;
        if (word == "damage")
            std::fprintf(stderr,
                         "[mov,mp4,m4a,3gp,3g2,mj2 @ 0] stream 0, offset 0x182ef: partial file\r\n"
                         "size=     100kB time=00:00:%02lld.00 bitrate= 128.0kbits/s speed=40x    \r\n",
                         value % 60);
        if (word == "noaudio") std::fputs("Output file #0 does not contain any stream\r\n", stderr);
        if (word == "size") size = value;
        if (word == "sleep") sleepMs = static_cast<unsigned long>(value);
        if (word == "exit") code = static_cast<int>(value);
    }
    if (size >= 0) {
        HANDLE h = ::CreateFileW(out, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 3;
        const std::string bytes(static_cast<size_t>(size), '\xAA');
        DWORD n = 0;
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        ::CloseHandle(h);
    }
    ::Sleep(sleepMs);
    if (code == 0 && summary)
        std::fputs("video:0kB audio:1kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.5%\r\n",
                   stderr);
    return code;
}

}  // namespace

// Poses as a running first copy: an application window of that class and
// title, marked, owning a main window of `formClass`, for `ms`; the exit code
// is the number of hand-overs it was sent.
int Pose(const wchar_t* appClass, const wchar_t* title, const wchar_t* formClass, DWORD ms) {
    static int received = 0;
    WNDCLASSW wc{};
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_COPYDATA) {
            ++received;
            return TRUE;
        }
        return ::DefWindowProcW(w, m, wp, lp);
    };
    wc.lpszClassName = appClass;
    ::RegisterClassW(&wc);
    wc.lpszClassName = formClass;
    ::RegisterClassW(&wc);
    HWND app = ::CreateWindowExW(0, appClass, title, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    HWND form = ::CreateWindowExW(0, formClass, L"", WS_POPUP, 0, 0, 1, 1, app, nullptr, wc.hInstance, nullptr);
    ::SetPropW(app, L"Korvello.FirstCopy", reinterpret_cast<HANDLE>(1));
    const ULONGLONG end = ::GetTickCount64() + ms;
    MSG m;
    while (::GetTickCount64() < end) {
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
        ::Sleep(10);
    }
    ::DestroyWindow(form);
    ::DestroyWindow(app);
    return received;
}

int wmain(int argc, wchar_t** argv) {
    // The program's line: [-discard:V all] -i INPUT ... OUTPUT.
    const int inputAt = argc >= 6 && !std::wcscmp(argv[1], L"-discard:V") ? 3 : 1;
    if (argc >= inputAt + 3 && !std::wcscmp(argv[inputAt], L"-i"))
        return StandInTranscoder(argv[inputAt + 1], argv[argc - 1]);
    if (argc == 6 && !std::wcscmp(argv[1], L"--pose"))
        return Pose(argv[2], argv[3], argv[4], static_cast<DWORD>(std::wcstoul(argv[5], nullptr, 10)));
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::wcscmp(argv[i], L"--write") && i + 1 < argc) {
            wchar_t cwd[4096];
            ::GetCurrentDirectoryW(4096, cwd);
            std::wstring text = std::wstring(cwd) + L"\n" + ::GetCommandLineW() + L"\n";
            HANDLE f = ::CreateFileW(argv[++i], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (f == INVALID_HANDLE_VALUE) return 3;
            DWORD n = 0;
            ::WriteFile(f, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &n, nullptr);
            ::CloseHandle(f);
        } else if (!std::wcscmp(argv[i], L"--sleep") && i + 1 < argc) {
            ::Sleep(static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10)));
        } else if (!std::wcscmp(argv[i], L"--holds") && i + 1 < argc) {
            // Exit code 9 when the handle of this value (inherited, or not) is open here.
            const auto value = static_cast<std::uintptr_t>(std::wcstoull(argv[++i], nullptr, 10));
            DWORD flags = 0;
            if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) code = 9;
        } else if (!std::wcscmp(argv[i], L"--exit") && i + 1 < argc) {
            code = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
        }
    }
    return code;
}
