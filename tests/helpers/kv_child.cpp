// A child process for the runner's tests: records how it was started, sleeps,
// or exits with a given code.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
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
        } else if (!std::wcscmp(argv[i], L"--exit") && i + 1 < argc) {
            code = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
        }
    }
    return code;
}
