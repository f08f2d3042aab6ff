#include "ui/job_rows_win.h"

#include <commctrl.h>

#include "app/media_kinds.h"
#include "win/text.h"

namespace kv::ui {

namespace {

void ListBoxAdd(HWND box, const std::string& text) {
    const std::wstring w = win::Widen(text);
    ::SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

}  // namespace

void JobRows::Added(const Job& job) {
    ListBoxAdd(paths_, job.input.Text());
    ListBoxAdd(durations_, std::to_string(job.duration));
    std::wstring caption = win::Widen(MediaKindOf(job.input.Text()).value_or("MP4"));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = caption.data();
    const int row = static_cast<int>(::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetCell(row, 1, job.name);
    Changed(row, job);
    SetCell(row, 4, "X");
}

void JobRows::Changed(int index, const Job& job) {
    SetCell(index, 2, ProgressText(job));
    SetCell(index, 3, ConvertedText(job));
}

void JobRows::Removed(int index) {
    ::SendMessageW(durations_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    ::SendMessageW(paths_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    ::SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

int JobRows::Selected() const {
    return static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string JobRows::Cell(int index, int column) const {
    if (index < 0 || index >= static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0))) return {};
    std::wstring buf(1024, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf.data();
    item.cchTextMax = static_cast<int>(buf.size());
    const LRESULT n =
        ::SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    buf.resize(static_cast<size_t>(n));
    return win::Narrow(buf);
}

void JobRows::SetCell(int index, int column, const std::string& text) {
    std::wstring w = win::Widen(text);
    LVITEMW sub{};
    sub.iSubItem = column;
    sub.pszText = w.data();
    ::SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
}

}  // namespace kv::ui
