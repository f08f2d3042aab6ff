#pragma once
// The conversion run's platform on Windows: the transcoder as a hidden process
// whose end is posted to a window, the output measured on disk, timers on
// message-only windows.
#include <windows.h>

#include <string>

#include "convert/conversion_run.h"
#include "win/clock.h"
#include "win/com.h"

struct ITaskbarList3;

namespace kv {

class WinRunPlatform final : public IRunPlatform {
public:
    // `exitMessage` reaches `notify` with the job's id as its LPARAM when a
    // transcoder ends. `taskbarWindow` owns the taskbar button that shows the
    // run's progress.
    WinRunPlatform(HWND notify, UINT exitMessage, HWND taskbarWindow = nullptr, win::MsClock clock = &win::AwakeMs);
    ~WinRunPlatform() override;
    WinRunPlatform(const WinRunPlatform&) = delete;
    WinRunPlatform& operator=(const WinRunPlatform&) = delete;

    std::unique_ptr<ITranscoder> StartTranscoder(const std::string& program, const std::string& args,
                                                 std::int64_t jobId) override;
    OutputSize MeasureOutput(const std::string& path) override;
    std::string PartialOutputPath(const std::string& finalPath, std::int64_t jobId) override;
    Commit CommitOutput(const std::string& partialPath, const std::string& finalPath, bool replace) override;
    void DiscardOutput(const std::string& partialPath) noexcept override;
    std::unique_ptr<TimerPort> NewTimerPort() override;
    void ShowProgress(const RunProgress& progress) override;
    [[nodiscard]] std::uint64_t NowMs() const override { return clock_(); }
    [[nodiscard]] bool FileExists(const std::string& path) const override;
    [[nodiscard]] std::optional<FileId> IdentityOf(const std::string& path) const override;
    [[nodiscard]] bool SameName(const std::string& a, const std::string& b) const override;
    bool MakeFolder(const std::string& folder) override;
    void CopyDates(const std::string& from, const std::string& to) override;

private:
    HWND notify_;
    UINT exitMessage_;
    HWND taskbarWindow_;
    win::ComPtr<::ITaskbarList3> taskbar_;
    bool taskbarTried_ = false;
    win::MsClock clock_;
};

}  // namespace kv
