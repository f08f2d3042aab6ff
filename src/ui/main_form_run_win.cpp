// The conversion run's handlers: each hands over to the run.
#include "ui/main_form_win.h"

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

}  // namespace kv
