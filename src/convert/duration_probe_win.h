#pragma once
// The probe's platform on Windows: the console code page, short names, the
// batch file run hidden within a time limit, and the hidden store it shows in.
#include <windows.h>

#include "convert/duration_probe.h"

namespace kv {

class WinProbePlatform final : public IProbePlatform {
public:
    // `codePage`: the console code page batch files are read in (0: the system's OEM code page);
    // `stop`: an event that, once set, ends a probe under way as its time limit would.
    explicit WinProbePlatform(HWND store, UINT codePage = 0, HANDLE stop = nullptr)
        : store_(store), codePage_(codePage), stop_(stop) {}

    std::string ShortName(const std::string& path) override;
    bool ToConsoleCodePage(const std::string& utf8, std::string& bytes) override;
    void WriteFile(const std::string& path, const std::string& bytes) override;
    bool RunBatch(const std::string& batPath, std::uint32_t limitMs) override;
    bool RunReader(const std::string& reader, const std::string& args, const std::string& outputPath,
                   std::uint32_t limitMs) override;
    std::optional<std::string> ReadFile(const std::string& path, std::string& why) override;
    void DeleteFile(const std::string& path) override;
    void ShowProbeText(const std::string& text) override;

private:
    HWND store_;
    UINT codePage_;
    HANDLE stop_;
    std::string written_;  // what WriteFile last wrote: the batch file must still say it when it runs
};

// The interpreter's line for a batch file in the current folder: the system's
// own cmd.exe, without AutoRun commands (/d) or delayed expansion (/v:off),
// which a user's settings could switch on and which would slow or break it.
std::string BatchInterpreter();
inline constexpr const char* kBatchParameters = "/d /v:off /c .\\";

// UTF-8 text in a code page; false when it does not come back unchanged (a
// letter the code page lacks, or one only a look-alike stands for). Works for
// every code page, UTF-8 (65001) included.
bool EncodeForCodePage(const std::string& utf8, UINT codePage, std::string& bytes);

}  // namespace kv
