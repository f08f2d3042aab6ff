// Removing rows and opening a row's files.
#include <windowsx.h>

#include "app/runner_text.h"
#include "convert/job_rules.h"
#include "ui/main_form.h"

namespace kv {

void TfrmMain::ListView1KeyDown(WORD& key, UINT) {
    const int i = jobs_->Selected();
    if (i < 0) return;
    if (key != VK_DELETE) return;
    // Any row, at any time; a running row's transcoder is ended at the next tick.
    jobs_->Remove(i);
}

void TfrmMain::ListView1Click() {
    const int i = jobs_->Selected();
    if (i < 0) return;
    HWND list = jobs_->ListView();
    const DWORD pos = ::GetMessagePos();
    POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    ::ScreenToClient(list, &pt);
    std::array<int, 4> widths{};
    for (int c = 0; c < 4; ++c) widths[static_cast<size_t>(c)] = ListView_GetColumnWidth(list, c);
    const ListClick click = ListClickRule(pt.x, widths, jobs_->Progress(i));
    // Why a row failed may be asked at any time, also while the run goes on.
    if (click == ListClick::ShowFailure) {
        Dialogs().MessageBox(Handle(), FailureMessage(jobs_->Path(i), jobs_->FailureAt(i)), app_.Title(), MB_OK);
        return;
    }
    if (Busy) return;
    switch (click) {
    case ListClick::RemovePending:
        jobs_->Remove(i);
        break;
    case ListClick::OpenOutputFolder:
        Dialogs().ShellOpen(Handle(), TrimText(WorkDir + "\\"));
        break;
    case ListClick::OpenInputFile:
        Dialogs().ShellOpen(Handle(), jobs_->Path(i));
        break;
    case ListClick::None:
    case ListClick::ShowFailure:
        break;
    }
}

}  // namespace kv
