#include "support/win_test_util.h"

#include "app/settings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/program.h"
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

std::string ReadBytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

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

}  // namespace kvtest
