// Removing rows and opening a row's files.
#include <windowsx.h>

#include "app/runner_text.h"
#include "convert/job_rules.h"
#include "ui/main_form_win.h"

namespace kv {

// The job of the selected row; rows show the jobs in their order.
const Job* TfrmMain::SelectedJob() const {
    const int i = rows_->Selected();
    return i >= 0 && i < jobs_->Count() ? &jobs_->At(i) : nullptr;
}

void TfrmMain::ListView1KeyDown(WORD& key, UINT) {
    const Job* job = SelectedJob();
    if (!job || key != VK_DELETE) return;
    // Any row, at any time; a running row's transcoder is ended at the next tick.
    jobs_->Remove(job->id);
}

void TfrmMain::ListView1Click() {
    const Job* job = SelectedJob();
    if (!job) return;
    HWND list = rows_->ListView();
    const DWORD pos = ::GetMessagePos();
    POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    ::ScreenToClient(list, &pt);
    std::array<int, 4> widths{};
    for (int c = 0; c < 4; ++c) widths[static_cast<size_t>(c)] = ListView_GetColumnWidth(list, c);
    const ListClick click = ListClickRule(pt.x, widths, ProgressText(*job));
    // Why a row failed may be asked at any time, also while the run goes on.
    if (click == ListClick::ShowFailure) {
        Dialogs().MessageBox(Handle(), FailureMessage(job->input.Text(), job->failure), app_.Title(), MB_OK);
        return;
    }
    if (runState_.Busy) return;
    switch (click) {
    case ListClick::RemovePending:
        jobs_->Remove(job->id);
        break;
    case ListClick::OpenOutputFolder:
        Dialogs().ShellOpen(Handle(), TrimText(WorkDir + "\\"));
        break;
    case ListClick::OpenInputFile:
        Dialogs().ShellOpen(Handle(), job->input.Text());
        break;
    case ListClick::None:
    case ListClick::ShowFailure:
        break;
    }
}

}  // namespace kv
