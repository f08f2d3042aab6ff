// The conversion run's handlers, and what the window shows of a run's end.
#include "app/texts.h"
#include "ui/main_form_win.h"

namespace kv {

void TfrmMain::EzRgnBtn3Click() { controller_->Convert(); }

void TfrmMain::Button3Click() { controller_->ChooseOutputFolder(); }

// The taskbar button flashes unless the window is in front.
void TfrmMain::SignalRunFinished(const RunCounts& counts, bool notify) {
    if (::GetForegroundWindow() == Handle()) return;
    FLASHWINFO fi{sizeof fi, app_.Handle(), FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&fi);
    if (notify && doneNotice_) (void)doneNotice_->Show(Tr(TextId::RunEndedTitle), RunEndedText(counts));
}

bool TfrmMain::OnTimer(UINT_PTR id) {
    if (id == kHandOverRetryTimer) {
        ::KillTimer(Handle(), kHandOverRetryTimer);
        controller_->AddHandedOver();
    } else if (id == kAutoConvertTimer) {
        controller_->AutoConvertTick();
    } else {
        return false;
    }
    return true;
}

}  // namespace kv
