// The job list's handlers: the row under the key or the pointer, passed on.
#include <windowsx.h>

#include "ui/main_form_win.h"

namespace kv {

void TfrmMain::ListView1KeyDown(WORD& key, UINT) {
    if (key == VK_DELETE) controller_->RemoveRow(rows_->Selected());
}

// Where the click fell, over the columns as wide as the user left them.
void TfrmMain::ListView1Click() {
    HWND list = rows_->ListView();
    const DWORD pos = ::GetMessagePos();
    POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    ::ScreenToClient(list, &pt);
    std::array<int, 4> widths{};
    for (int c = 0; c < 4; ++c) widths[static_cast<size_t>(c)] = ListView_GetColumnWidth(list, c);
    controller_->ClickRow(rows_->Selected(), pt.x, widths);
}

}  // namespace kv
