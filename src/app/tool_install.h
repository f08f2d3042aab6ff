#pragma once
// The five tool files carried as resources of type "EXE" and written out at start.
#include <windows.h>

#include <array>
#include <string>

#include "win/error.h"

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

// Writes one resource's bytes to `target`, replacing the file's contents. A
// missing resource raises ResourceNotFound; a file that cannot be written
// raises kv::Error (the caller ignores that one).
void WriteResourceFile(HMODULE module, const char* resource, const std::string& target);

}  // namespace kv
