#pragma once
// What every part of kv_drive builds on: its output, waiting, the windows and
// dialogs of the desktop, and the main window's controls at their places.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvdrive {

// A control's place in the main window, by its name in the layout.
struct Place {
    std::wstring name;
    int left, top, width, height;
};

// The controls kv_drive presses or reads, at their places in the layout.
extern const Place kAddFile, kAddFolder, kBrowse, kConvert, kClose, kList, kEdit1, kEdit2, kEdit3;

// Output is UTF-8: a line on stdout, or a complaint on stderr.
void Out(const std::wstring& line);
void Err(const std::wstring& line);
// Complains and gives the exit code of a failure, 1.
int Fail(const std::wstring& why);

ULONGLONG Now();
bool WaitFor(double seconds, const std::function<bool()>& done, DWORD stepMs = 50);

std::wstring ClassOf(HWND w);
std::wstring TextOf(HWND w);
DWORD ProcessOf(HWND w);
std::vector<HWND> TopLevel(const std::function<bool(HWND)>& match);
// Korvello's application windows, one a running copy.
std::vector<HWND> AppWindows();
// The visible main window, or null.
HWND MainWindow();
bool Responsive(HWND w, UINT timeoutMs = 5000);

std::vector<HWND> Dialogs(DWORD pid);
std::optional<HWND> NewDialog(DWORD pid, const std::vector<HWND>& known);
std::wstring BoxText(HWND box);
bool PressOk(HWND dlg, double seconds);

// The child window at a control's place, or null.
HWND ControlAt(HWND frm, const Place& p);
void ClickAt(HWND frm, HWND control, const Place& p);

}  // namespace kvdrive
