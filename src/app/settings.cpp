#include "app/settings.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "win/error.h"
#include "win/text.h"

namespace kv {

namespace {

std::wstring SubKeyPath(const std::string& subKey) {
    // The key is written with a leading "\", meaning "below the root of the hive".
    std::string k = subKey;
    while (!k.empty() && k.front() == '\\') k.erase(k.begin());
    return win::Widen(k);
}

std::string SpecialFolder(int csidl) {
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) return {};
    wchar_t buf[MAX_PATH] = {};
    const BOOL ok = ::SHGetPathFromIDListW(pidl, buf);
    ::CoTaskMemFree(pidl);
    return ok ? win::Narrow(buf) : std::string();
}

}  // namespace

RegistryKey::RegistryKey(const std::string& subKey, Access access) {
    const LSTATUS r = access == Access::Read
                          ? ::RegOpenKeyExW(HKEY_CURRENT_USER, SubKeyPath(subKey).c_str(), 0, KEY_READ, key_.Put())
                          : ::RegCreateKeyExW(HKEY_CURRENT_USER, SubKeyPath(subKey).c_str(), 0, nullptr,
                                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key_.Put(), nullptr);
    if (r != ERROR_SUCCESS) throw Error("Failed to get data for '" + subKey + "'");
}

bool RegistryKey::ValueExists(const std::string& name) const {
    return ::RegQueryValueExW(key_.Get(), win::Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

std::string RegistryKey::ReadString(const std::string& name) const {
    const std::wstring wname = win::Widen(name);
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(key_.Get(), wname.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        throw Error("Invalid data type for '" + name + "'");
    std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key_.Get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &bytes) !=
        ERROR_SUCCESS)
        throw Error("Failed to get data for '" + name + "'");
    return win::Narrow(buf.data());
}

void RegistryKey::WriteString(const std::string& name, const std::string& value) {
    const std::wstring w = win::Widen(value);
    if (::RegSetValueExW(key_.Get(), win::Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                         static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw Error("Failed to set data for '" + name + "'");
}

std::string GetDocumentsFolder() { return SpecialFolder(CSIDL_PERSONAL); }
std::string GetAppDataFolder() { return SpecialFolder(CSIDL_APPDATA); }

std::string GetTempFolder() {
    wchar_t buf[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
    return n ? win::Narrow(std::wstring_view(buf, n)) : std::string();
}

bool DirectoryExists(const std::string& path) {
    const DWORD a = ::GetFileAttributesW(win::FilePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path) {
    const DWORD a = ::GetFileAttributesW(win::FilePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::string& path) { return ::CreateDirectoryW(win::FilePath(path).c_str(), nullptr) != FALSE; }

bool DeleteFileUtf8(const std::string& path) { return ::DeleteFileW(win::FilePath(path).c_str()) != FALSE; }

void AddFileAttributes(const std::string& path, unsigned long bits) {
    const std::wstring w = win::FilePath(path);
    const DWORD a = ::GetFileAttributesW(w.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    ::SetFileAttributesW(w.c_str(), a | bits);
}

}  // namespace kv
