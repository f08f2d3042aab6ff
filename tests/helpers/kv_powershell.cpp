// A stand-in for Windows PowerShell, for the end-to-end tests of the
// installer's package actions (Wine has no package deployment): records its
// command line and the two paths the actions hand it in its environment to
// kv_powershell.log beside itself, then answers as the real one would after
// a success: the script's confirmation and exit code 0. With kv_powershell.fail
// beside it, it answers as a failed deployment instead: an error and exit code 1.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Folder() {
    wchar_t self[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring Variable(const wchar_t* name) {
    wchar_t value[2048] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, 2048);
    return n > 0 && n < 2048 ? std::wstring(value, n) : std::wstring(L"<none>");
}

void Append(const std::wstring& file, const std::wstring& text) {
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    const HANDLE h = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
}

}  // namespace

int wmain() {
    const std::wstring folder = Folder();
    Append(folder + L"kv_powershell.log", L"LINE " + std::wstring(::GetCommandLineW()) + L"\nPACKAGE " +
                                              Variable(L"KORVELLO_PACKAGE") + L"\nFOLDER " +
                                              Variable(L"KORVELLO_FOLDER") + L"\n");
    if (::GetFileAttributesW((folder + L"kv_powershell.fail").c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::printf(
            "Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109, A certificate chain processed, "
            "but terminated in a root certificate which is not trusted.\r\nAt line:1 char:1\r\n");
        return 1;
    }
    std::printf("KORVELLO-PACKAGE-CONFIRMED\r\n");
    return 0;
}
