#include "ui/window_ports_win.h"

#include "app/media_kinds.h"
#include "app/process_runner_win.h"
#include "app/texts.h"

#include "ui/main_form_win.h"
#include "win/clock.h"

namespace kv {

namespace {
constexpr UINT kPlainBox = MB_OK;  // application title, one "OK" button, no icon
constexpr UINT kAutoConvertPollMs = 250;
}  // namespace

void WindowPorts::ShowFile(const std::string& path) { form_.SetControlText("Edit1", path); }
void WindowPorts::ShowFolder(const std::string& folder) { form_.SetControlText("Edit2", folder); }
void WindowPorts::ShowChoices(const ConversionChoices& choices) {
    SetToolsBelowNormal(!choices.normalPriority);
    form_.ShowLanguage(choices.language);
    form_.FillSystemMenu();
}
void WindowPorts::RunEnded(const RunCounts& counts, bool notify) { form_.SignalRunFinished(counts, notify); }
bool WindowPorts::MenuOpen() const { return form_.menuOpen_; }

// The box of the output folder shows the setting; the one beside it, the folder in use.
void WindowPorts::ShowOutputFolder(const std::string& stored, const std::string& used) {
    form_.SetControlText("Edit4", stored);
    form_.SetControlText("Edit3", used);
}

std::optional<std::string> WindowPorts::AskForFile() {
    return form_.Dialogs().OpenFile(form_.Handle(), {MediaDialogFilter(), "mp4"});
}

std::string WindowPorts::AskForFolder(const std::string& initial) {
    return form_.Dialogs().BrowseForFolder(form_.Handle(), Tr(TextId::OutputFolderTitle), initial, false);
}

void WindowPorts::Tell(const std::string& text) {
    form_.Dialogs().MessageBox(form_.Handle(), text, form_.app_.Title(), kPlainBox);
}

void WindowPorts::ShellOpen(const std::string& target) { form_.Dialogs().ShellOpen(form_.Handle(), target); }

void WindowPorts::ScheduleHandedOver(std::uint32_t afterMs) {
    if (afterMs == 0)
        ::PostMessageW(form_.Handle(), TfrmMain::kAddHandedOverMessage, 0, 0);
    else
        ::SetTimer(form_.Handle(), TfrmMain::kHandOverRetryTimer, afterMs, nullptr);
}

void WindowPorts::PollAutoConvert(bool on) {
    if (on)
        ::SetTimer(form_.Handle(), TfrmMain::kAutoConvertTimer, kAutoConvertPollMs, nullptr);
    else
        ::KillTimer(form_.Handle(), TfrmMain::kAutoConvertTimer);
}

// A message box or picker of this window disables it.
bool WindowPorts::WindowFree() const { return ::IsWindowEnabled(form_.Handle()) != FALSE; }
bool WindowPorts::Closing() const { return form_.destroyed_; }

std::uint64_t WindowPorts::NowMs() const { return win::AwakeMs(); }

}  // namespace kv
