#include "app/tool_install_win.h"

#include <algorithm>
#include <vector>

#include "app/sha256.h"
#include "app/texts.h"
#include "win/error.h"
#include "win/text.h"

namespace kv {

namespace {

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// Replaces the file's contents; false when it cannot be created or written,
// with the failed call's code left for GetLastError.
bool WriteOver(const std::wstring& path, std::span<const std::uint8_t> bytes) {
    // A read-only file cannot be opened for writing, and a hidden or system
    // one only by a create call that names those attributes: plain first.
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0)
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    win::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
    return file && WriteAll(file.Get(), bytes);
}

// Size and SHA-256 of what the open file holds, against the expected bytes.
bool Holds(HANDLE file, std::span<const std::uint8_t> bytes) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || static_cast<std::uint64_t>(size.QuadPart) != bytes.size()) return false;
    Sha256 read;
    std::vector<std::uint8_t> buf(1u << 20);
    DWORD got = 0;
    std::uint64_t total = 0;
    while (::ReadFile(file, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) {
        read.Update({buf.data(), got});
        total += got;
    }
    return total == bytes.size() && read.Finish() == Sha256::Of(bytes);
}

}  // namespace

std::span<const std::uint8_t> ToolResource(HMODULE module, const char* resource) {
    const std::wstring name = win::Widen(resource);
    HRSRC res = ::FindResourceW(module, name.c_str(), L"EXE");
    if (!res) throw ResourceNotFound(resource);
    HGLOBAL mem = ::LoadResource(module, res);
    const void* data = mem ? ::LockResource(mem) : nullptr;
    if (!data) throw ResourceNotFound(resource);
    return {static_cast<const std::uint8_t*>(data), ::SizeofResource(module, res)};
}

std::optional<win::UniqueFile> InstallToolFile(std::span<const std::uint8_t> bytes, const std::string& target,
                                               std::string& why) {
    const std::wstring path = win::FilePath(target);
    const bool written = WriteOver(path, bytes);
    if (!written) why = win::SystemErrorText(::GetLastError());
    // Shared for reading only: the tools can be started and loaded, but no
    // one can change, replace or delete the file while it is held.
    win::UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) {
        if (written) why = win::SystemErrorText(::GetLastError());
        return std::nullopt;
    }
    if (!Holds(held.Get(), bytes)) {
        if (why.empty()) why = Tr(TextId::ToolNotOursWhy);
        return std::nullopt;
    }
    // A file in use that already holds these very bytes is as good as written.
    why.clear();
    ::SetFileAttributesW(path.c_str(), ::GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_HIDDEN);
    return held;
}

std::string ToolProblemText(const std::string& fileName, const std::string& folder, const std::string& why) {
    return Tr(TextId::ToolFileMessage,
              {fileName, folder, why.empty() ? std::string(".") : Tr(TextId::ToolFileWhy, {why})});
}

}  // namespace kv
