// The two ways out: the close button, which ends the transcoders and the
// program at once, and the window's destruction.
#include "app/process_runner_win.h"
#include "app/settings_win.h"
#include "ui/main_form_win.h"
#include "win/error.h"

namespace kv {

void TfrmMain::DeleteToolFiles(bool batchFileFourth) {
    toolLocks_.clear();  // held files cannot be deleted
    const Folders& dirs = controller_->Dirs();
    // Without a tool folder a bare name would name a file of the current folder.
    auto tool = [&dirs](const char* name) {
        if (!dirs.AppDir.empty()) DeleteFileUtf8(dirs.AppDir + name);
    };
    // Each deletion may fail (missing, or still in use); none stops the others.
    if (controller_->FfmpegPath().empty())
        tool("ffmpeg.exe");
    else
        DeleteFileUtf8(controller_->FfmpegPath());
    tool("cygwin1.dll");
    tool("cygz.dll");
    if (batchFileFourth) DeleteFileUtf8(dirs.TempDir + "open.bat");
    tool("mediainfo.dll");
    tool("mediainfo.exe");
    if (!batchFileFourth) DeleteFileUtf8(dirs.TempDir + "open.bat");
}

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

void TfrmMain::EndRunAndTools() {
    // The running job first: its transcoder ends and its half-written MP3 goes.
    GuardedStep([this] { controller_->Close(); });
    GuardedStep([] { EndProcessesByName("ffmpeg.exe"); });
    // Transcoders of an earlier copy (closed another way mid-run, or crashed) lock the tool files.
    const std::string appDir = controller_->Dirs().AppDir;
    GuardedStep([&] {
        if (!appDir.empty()) EndProcessesOfProgram(appDir + "ffmpeg.exe");
    });
    GuardedStep([&] {
        // A transcoder asked to end may still hold its files for a moment.
        for (int i = 0; i < 20 && !appDir.empty() && FileExists(appDir + "ffmpeg.exe"); ++i) {
            DeleteToolFiles(true);
            if (!FileExists(appDir + "ffmpeg.exe")) break;
            ::Sleep(50);
        }
        DeleteToolFiles(true);
    });
}

void TfrmMain::FormDestroy() { DeleteToolFiles(false); }

}  // namespace kv
