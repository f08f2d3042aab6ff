#include "win/file.h"

#include "win/handle.h"
#include "win/text.h"

namespace kv::win {

std::string ReadToEnd(HANDLE file) {
    std::string contents;
    char buf[8192];
    DWORD got = 0;
    while (::ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0) contents.append(buf, got);
    return contents;
}

std::optional<std::string> ReadWholeFile(std::string_view path) {
    const UniqueFile f(::CreateFileW(FilePath(path, PathFor::File).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return std::nullopt;
    return ReadToEnd(f.Get());
}

}  // namespace kv::win
