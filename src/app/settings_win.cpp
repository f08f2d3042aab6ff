#include "app/settings_win.h"

#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <cstring>
#include <vector>

#include "win/com.h"
#include "win/error.h"
#include "win/text.h"
#include "win/utf8.h"

namespace kv {

namespace {

std::wstring SubKeyPath(const std::string& subKey) {
    // The key is written with a leading "\", meaning "below the root of the hive".
    std::string k = subKey;
    while (!k.empty() && k.front() == '\\') k.erase(k.begin());
    return win::Widen(k);
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    win::CoTaskMem<wchar_t> path;
    const HRESULT hr = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, path.Put());
    return SUCCEEDED(hr) && path ? win::Narrow(path.Get()) : std::string();
}

// "C:", "\\?\C:", "\\server\share" or "\\?\UNC\server\share": where a path's volume is named.
std::size_t VolumeRootLength(std::string_view p) {
    std::size_t at = 0;
    if (p.starts_with("\\\\?\\UNC\\"))
        at = 8;
    else if (p.starts_with("\\\\?\\"))
        return std::min<std::size_t>(p.size(), 6);
    else if (p.starts_with("\\\\"))
        at = 2;
    else
        return std::min<std::size_t>(p.size(), 2);
    for (int part = 0; part < 2 && at != std::string_view::npos; ++part) {
        at = p.find('\\', at);
        if (at != std::string_view::npos && part == 0) ++at;
    }
    return at == std::string_view::npos ? p.size() : at;
}

std::wstring Expanded(const std::wstring& text) {
    const DWORD n = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (n == 0) return text;
    std::wstring out(n, L'\0');
    const DWORD got = ::ExpandEnvironmentStringsW(text.c_str(), out.data(), n);
    if (got == 0 || got > n) return text;
    out.resize(got - 1);
    return out;
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
    // Read to its stored length, which may be odd and hold no final zero.
    std::vector<BYTE> data(bytes + sizeof(wchar_t), 0);
    if (::RegQueryValueExW(key_.Get(), wname.c_str(), nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS ||
        bytes > data.size() - sizeof(wchar_t))
        throw Error("Failed to get data for '" + name + "'");
    std::wstring text((bytes + 1) / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), bytes);
    text.resize(std::wcslen(text.c_str()));  // up to the first zero, if it has one
    return win::Narrow(type == REG_EXPAND_SZ ? Expanded(text) : text);
}

void RegistryKey::WriteString(const std::string& name, const std::string& value) {
    const std::wstring w = win::Widen(value);
    if (::RegSetValueExW(key_.Get(), win::Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                         static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw Error("Failed to set data for '" + name + "'");
}

StoredValue RegistryKey::ReadValue(const std::string& name) const noexcept {
    StoredValue v;
    try {
        const std::wstring wname = win::Widen(name);
        DWORD type = 0, bytes = 0;
        if (::RegQueryValueExW(key_.Get(), wname.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return v;
        v.type = StoredValue::Type::Other;
        std::vector<BYTE> data(bytes + sizeof(wchar_t), 0);
        if (::RegQueryValueExW(key_.Get(), wname.c_str(), nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS)
            return v;
        if (type == REG_DWORD && bytes == sizeof(DWORD)) {
            v.type = StoredValue::Type::Dword;
            std::memcpy(&v.number, data.data(), sizeof(DWORD));
        } else if (type == REG_SZ) {
            // As many characters as were stored, without the final zero if
            // there is one; text with a zero inside is no text of ours.
            std::wstring text(bytes / sizeof(wchar_t), L'\0');
            std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
            if (!text.empty() && text.back() == L'\0') text.pop_back();
            if (text.find(L'\0') != std::wstring::npos) return v;
            v.type = StoredValue::Type::String;
            v.text = win::Narrow(text);
        }
    } catch (const std::exception&) {
        v = StoredValue{StoredValue::Type::Other};
    }
    return v;
}

void RegistryKey::WriteDword(const std::string& name, std::uint32_t value) {
    const DWORD d = value;
    if (::RegSetValueExW(key_.Get(), win::Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d),
                         sizeof d) != ERROR_SUCCESS)
        throw Error("Failed to set data for '" + name + "'");
}

std::string GetDocumentsFolder() { return KnownFolder(FOLDERID_Documents); }
std::string GetAppDataFolder() { return KnownFolder(FOLDERID_RoamingAppData); }

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

namespace {

// FILE_ID_INFO (Windows 8 on), which the Windows 7 headers do not declare: the
// 128-bit file id that stays unique on ReFS, where the 64-bit index may not.
struct FileIdInfo {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};
constexpr auto kFileIdInfoClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);  // FileIdInfo

}  // namespace

std::optional<FileId> FileIdentity(const std::string& path) {
    // Attributes only, shared every way: asking must not disturb a file another program has open.
    win::UniqueFile f(::CreateFileW(win::FilePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!f) return std::nullopt;
    FileId out;
    FileIdInfo id{};
    if (::GetFileInformationByHandleEx(f.Get(), kFileIdInfoClass, &id, sizeof id)) {
        out.volume = id.volumeSerialNumber;
        std::memcpy(&out.low, id.fileId, 8);
        std::memcpy(&out.high, id.fileId + 8, 8);
    } else {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(f.Get(), &info)) return std::nullopt;
        out = {info.dwVolumeSerialNumber, 0, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    }
    // Some network redirectors give every file the index 0: that names no file.
    if (out.high == 0 && out.low == 0) return std::nullopt;
    return out;
}

bool SameFileName(const std::string& a, const std::string& b) {
    return win::SameTextAnyCase(win::FilePath(a), win::FilePath(b));
}

const FileSystemLookup& FileSystemLookup::Instance() {
    static const FileSystemLookup lookup;
    return lookup;
}

PathKind FileSystemLookup::KindOf(const std::string& path) const {
    const DWORD a = ::GetFileAttributesW(win::FilePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

std::size_t FileSystemLookup::MaxComponentLength(const std::string& path) const {
    // Asked once per volume (a hand-over of many files names few), keyed by
    // the path's drive or share as written, before anything is asked.
    static std::map<std::string, std::size_t> known;
    const std::string key = UpperAscii(std::string_view(path).substr(0, VolumeRootLength(path)));
    if (auto it = known.find(key); it != known.end()) return it->second;
    const std::wstring w = win::FilePath(path);
    std::wstring root(w.size() + 2, L'\0');
    DWORD longest = 0;
    if (!::GetVolumePathNameW(w.c_str(), root.data(), static_cast<DWORD>(root.size())) ||
        !::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) || longest == 0)
        longest = 255;
    known.emplace(key, longest);
    return longest;
}

int LogicalProcessorCount() {
    const DWORD n = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return n > 0 ? static_cast<int>(n) : 1;
}

}  // namespace kv
