#include "support/win_test_util.h"

#include "app/settings_win.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "support/program.h"
#include "win/file.h"
#include "win/handle.h"
#include "win/text.h"

namespace kvtest {

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::wstring& hint) {
    static int counter = 0;
    wchar_t tmp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, tmp);
    path_ =
        fs::path(tmp) / (hint + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    std::error_code ec;
    fs::remove_all(path_, ec);
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Hidden or read-only files would stop remove_all; clear their attributes first.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(path_, ec);
}

std::string TempFolder::Utf8() const { return kvtest::Utf8(path_) + "\\"; }

std::string Utf8(const fs::path& p) { return kv::win::Narrow(p.wstring()); }
fs::path FromUtf8(const std::string& s) { return fs::path(kv::win::Widen(s)); }

void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

std::string ReadBytes(const fs::path& p) { return kv::win::ReadWholeFile(Utf8(p)).value_or(std::string()); }

fs::path ProgramFolder() {
    wchar_t buf[MAX_PATH * 4];
    ::GetModuleFileNameW(nullptr, buf, MAX_PATH * 4);
    return fs::path(buf).parent_path();
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= end) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

fs::path MediaFile(const std::string& name) {
    const char* dir = std::getenv("KV_MEDIA_DIR");
    std::string d = dir ? dir : "";
    for (auto& c : d)
        if (c == '/') c = '\\';
    return fs::path(kv::win::Widen("Z:" + d)) / kv::win::Widen(name);
}

bool MediaAvailable() {
    const char* dir = std::getenv("KV_MEDIA_DIR");
    return dir && *dir && fs::exists(MediaFile(".complete"));
}

kv::CheckedPath Present(const std::string& path) {
    return kv::CheckPath(path, kv::FileSystemLookup::Instance()).value();
}

// The ids of the running processes started from this very file, found in the
// system's process list (not through anything the program keeps).
std::vector<DWORD> ProcessesOf(const fs::path& exe) {
    std::vector<DWORD> ids;
    std::error_code ec;
    const fs::path want = fs::weakly_canonical(exe, ec);
    kv::win::UniqueFile snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return ids;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = ::Process32FirstW(snap.Get(), &e); ok; ok = ::Process32NextW(snap.Get(), &e)) {
        if (::lstrcmpiW(e.szExeFile, exe.filename().c_str()) != 0) continue;
        kv::win::UniqueHandle h(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID));
        if (!h) continue;
        wchar_t image[MAX_PATH * 4];
        DWORD n = MAX_PATH * 4;
        if (!::QueryFullProcessImageNameW(h.Get(), 0, image, &n)) continue;
        if (::WaitForSingleObject(h.Get(), 0) == WAIT_OBJECT_0) continue;
        if (::lstrcmpiW(fs::weakly_canonical(fs::path(image), ec).c_str(), want.c_str()) == 0)
            ids.push_back(e.th32ProcessID);
    }
    return ids;
}

HANDLE StartAsAnotherProgram(const fs::path& exe, const std::wstring& args) {
    const std::vector<DWORD> before = ProcessesOf(exe);
    std::wstring cmd = L"cmd.exe /c start \"\" /min \"" + exe.wstring() + L"\" " + args;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return nullptr;
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    for (int tries = 0; tries < 100; ++tries) {
        for (DWORD id : ProcessesOf(exe))
            if (std::find(before.begin(), before.end(), id) == before.end())
                return ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        ::Sleep(50);
    }
    return nullptr;
}

}  // namespace kvtest
