#pragma once
// The five tool files carried as resources of type "EXE" and written out at
// start. A file is only ever run after it has been read back and found to be
// byte for byte what the program carries; it is then held open, shared for
// reading alone, so that nothing can change it until the program lets it go.
#include <windows.h>

#include <array>
#include <optional>
#include <span>
#include <string>

#include "win/error.h"
#include "win/handle.h"

namespace kv {

struct ToolFile {
    const char* resource;
    const char* fileName;
};

// The order of writing: each library before the program that loads it.
inline constexpr std::array<ToolFile, 5> kToolFiles{{
    {"MYEX6", "mediainfo.dll"},
    {"MYEX7", "mediainfo.exe"},
    {"MYEX2", "cygwin1.dll"},
    {"MYEX3", "cygz.dll"},
    {"MYEX1", "ffmpeg.exe"},
}};

// A tool file the executable does not carry: the program cannot run without it.
class ResourceNotFound : public Error {
public:
    explicit ResourceNotFound(const std::string& resource) : Error("Resource " + resource + " not found") {}
};

// The bytes of one tool resource, mapped with the executable; raises ResourceNotFound.
std::span<const std::uint8_t> ToolResource(HMODULE module, const char* resource);

// Writes `bytes` to `target` as a hidden file, replacing whatever lies there
// (a leftover read-only, hidden or system file included), then reads it back.
// Gives the open, write-locked file when it holds exactly `bytes` (size and
// SHA-256); otherwise nothing, with the reason in `why`. A file that cannot
// be replaced (another program has it open) is still taken when it already
// holds exactly these bytes.
std::optional<win::UniqueFile> InstallToolFile(std::span<const std::uint8_t> bytes, const std::string& target,
                                               std::string& why);

// The message for a tool file that could not be installed.
std::string ToolProblemText(const std::string& fileName, const std::string& folder, const std::string& why);

}  // namespace kv
