#pragma once
// The main window as the controller sees it: the boxes, the menus and the
// taskbar it shows, and the dialogs, timers and state of the desktop.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "convert/controller.h"

namespace kv {

class TfrmMain;

class WindowPorts final : public IFormView, public IDesktop {
public:
    explicit WindowPorts(TfrmMain& form) : form_(form) {}
    void ShowFile(const std::string& path) override;
    void ShowFolder(const std::string& folder) override;
    void ShowOutputFolder(const std::string& stored, const std::string& used) override;
    void ShowChoices(const ConversionChoices& choices) override;
    void RunEnded(const RunCounts& counts, bool notify) override;

    std::optional<std::string> AskForFile() override;
    std::string AskForFolder(const std::string& initial) override;
    void Tell(const std::string& text) override;
    void ShellOpen(const std::string& target) override;
    void ScheduleHandedOver(std::uint32_t afterMs) override;
    void PollAutoConvert(bool on) override;
    [[nodiscard]] bool WindowFree() const override;
    [[nodiscard]] bool Closing() const override;
    [[nodiscard]] bool MenuOpen() const override;
    [[nodiscard]] std::uint64_t NowMs() const override;

private:
    TfrmMain& form_;
};

}  // namespace kv
