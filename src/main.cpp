// Program entry: the application window, the main window, the message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <utility>

#include "app/application_win.h"
#include "app/command_line.h"
#include "app/main_instance_win.h"
#include "ui/main_form_win.h"
#include "win/gdi.h"
#include "win/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    kv::win::LoadDllsFromSystemOnly();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    const kv::win::OleScope ole;  // the folder picker and the shell's open verb need COM
    {
        kv::TApplication app;
        app.SetTitle("Korvello");
        app.Initialize();
        kv::FormOptions options;
        kv::CommandLine line = kv::ParseCommandLine(kv::CommandLineParameters());
        options.parameters = std::move(line.paths);
        options.convert = line.convert;
        kv::TfrmMain form(app, std::move(options));
        form.Show();
        app.Run();
    }
    return 0;
}
