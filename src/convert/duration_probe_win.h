#pragma once
// The probe's platform on Windows: the console code page, short names, the
// batch file run hidden within a time limit, and the hidden store it shows in.
#include <windows.h>

#include "convert/duration_probe.h"

namespace kv {

class WinProbePlatform final : public IProbePlatform {
public:
    explicit WinProbePlatform(HWND store) : store_(store) {}

    std::string ShortName(const std::string& path) override;
    bool ToConsoleCodePage(const std::string& utf8, std::string& bytes) override;
    void WriteFile(const std::string& path, const std::string& bytes) override;
    bool RunBatch(const std::string& batPath, std::uint32_t limitMs) override;
    std::optional<std::string> ReadFile(const std::string& path, std::string& why) override;
    void DeleteFile(const std::string& path) override;
    void ShowProbeText(const std::string& text) override;

private:
    HWND store_;
};

// The system's text for an error code, or "Error N".
std::string SystemErrorText(DWORD code);

}  // namespace kv
