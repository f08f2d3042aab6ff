// The two ways out: the close button, which ends the transcoders and the
// program at once, and the window's destruction.
#include "app/process_runner.h"
#include "app/settings.h"
#include "ui/main_form.h"
#include "win/error.h"

namespace kv {

void TfrmMain::DeleteToolFiles(bool batchFileFourth) {
    // Each deletion may fail (missing, or still in use); none stops the others.
    DeleteFileUtf8(FfmpegPath);
    DeleteFileUtf8(AppDir + "cygwin1.dll");
    DeleteFileUtf8(AppDir + "cygz.dll");
    if (batchFileFourth) DeleteFileUtf8(TempDir + "open.bat");
    DeleteFileUtf8(AppDir + "mediainfo.dll");
    DeleteFileUtf8(AppDir + "mediainfo.exe");
    if (!batchFileFourth) DeleteFileUtf8(TempDir + "open.bat");
}

void TfrmMain::EzRgnBtn2Click() {
    GuardedStep([] { EndProcessesByName("ffmpeg.exe"); });
    // Transcoders of an earlier copy (closed another way mid-run, or crashed) lock the tool files.
    GuardedStep([this] { EndProcessesOfProgram(AppDir + "ffmpeg.exe"); });
    GuardedStep([this] {
        // A transcoder asked to end may still hold its files for a moment.
        for (int i = 0; i < 20 && FileExists(FfmpegPath); ++i) {
            DeleteToolFiles(true);
            if (!FileExists(FfmpegPath)) break;
            ::Sleep(50);
        }
        DeleteToolFiles(true);
    });
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

void TfrmMain::FormDestroy() { DeleteToolFiles(false); }

}  // namespace kv
