// The conversion run's handlers: each hands over to the run.
#include "ui/main_form_win.h"
#include "win/clock.h"

namespace kv {

void TfrmMain::EzRgnBtn3Click() { run_->Convert(); }

void TfrmMain::MyTimerEventHandlerConversion(TAdvancedTimer* sender) { run_->Tick(sender); }

void TfrmMain::OnJobExited(std::int64_t jobId) { run_->OnJobExited(jobId); }

// The end of a run: paths handed over during it are added, and the taskbar
// button flashes unless the window is in front.
void TfrmMain::SignalRunFinished() {
    addHost_->ScheduleHandedOver();
    if (::GetForegroundWindow() == Handle()) return;
    FLASHWINFO fi{sizeof fi, app_.Handle(), FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&fi);
}

// Files of the "/convert" switch start their run once they are in and the
// window is free: the user's own run, command or dialog comes first.
// A menu open on the window counts: the user may be choosing a quality for these files.
bool TfrmMain::IdleForAutoConvert() const {
    return !destroyed_ && !menuOpen_ && !runState_.Busy && adder_ && !adder_->CommandActive() &&
           adder_->HandedOverCount() == 0 && ::IsWindowEnabled(Handle());
}

void TfrmMain::AutoConvertTick() {
    if (const auto rows = autoConvert_.TakeIfDue(win::AwakeMs(), IdleForAutoConvert())) run_->ConvertRows(*rows);
    if (!autoConvert_.Pending()) ::KillTimer(Handle(), kAutoConvertTimer);
}

bool TfrmMain::OnTimer(UINT_PTR id) {
    if (id == kHandOverRetryTimer)
        AddHandedOver();
    else if (id == kAutoConvertTimer)
        AutoConvertTick();
    else
        return false;
    return true;
}

}  // namespace kv
