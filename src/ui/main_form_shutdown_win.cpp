// The two ways out: the close button, which ends the transcoders and the
// program at once, and the window's destruction.
#include "ui/main_form_win.h"
#include "win/error.h"

namespace kv {

void TfrmMain::EzRgnBtn2Click() {
    EndRunAndTools();
    destroyed_ = true;  // ending this way runs no destruction handler
    if (options_.terminateSelf) {
        options_.terminateSelf();
        return;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(app_.Handle(), &pid);
    win::UniqueHandle self(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
    if (self) ::TerminateProcess(self.Get(), 0);
}

// Windows is logging off, restarting or shutting down, or an installer's
// restart manager asks the program to close: it closes as the close button
// closes it, the run ended and older MP3s as they were, before the system ends it.
void TfrmMain::OnEndSession(bool ending) {
    if (ending && !destroyed_) EzRgnBtn2Click();
}

// The running job first: its transcoder ends and its half-written MP3 goes.
void TfrmMain::EndRunAndTools() {
    GuardedStep([this] { controller_->Close(); });
    const Folders& dirs = controller_->Dirs();
    tools_.EndAndDelete(dirs.AppDir, dirs.TempDir, controller_->FfmpegPath());
}

void TfrmMain::FormDestroy() {
    tools_.Delete(controller_->Dirs().AppDir, controller_->Dirs().TempDir, controller_->FfmpegPath(), false);
}

}  // namespace kv
