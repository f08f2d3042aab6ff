#include "convert/job_list.h"

#include <commctrl.h>

#include "win/text.h"

namespace kv {

namespace {

std::string ListBoxText(HWND box, int index) {
    const LRESULT len = ::SendMessageW(box, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == LB_ERR) return {};
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got =
        ::SendMessageW(box, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return win::Narrow(buf);
}

void ListBoxAdd(HWND box, const std::string& text) {
    const std::wstring w = win::Widen(text);
    ::SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

}  // namespace

JobList::JobList(HWND listView, HWND pathsList, HWND durationsList)
    : list_(listView), paths_(pathsList), durations_(durationsList) {}

std::int64_t JobList::Append(const CheckedPath& path, const std::string& displayName, int duration) {
    ListBoxAdd(paths_, path.Text());
    ListBoxAdd(durations_, std::to_string(duration));
    const std::int64_t id = nextId_++;
    inputs_.insert_or_assign(id, path);
    std::wstring caption = L"MP4";
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = Count();
    item.pszText = caption.data();
    item.lParam = static_cast<LPARAM>(id);
    const int row = static_cast<int>(::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    const std::string cells[] = {displayName, "Pending", "", "X"};
    for (int c = 0; c < 4; ++c) {
        std::wstring w = win::Widen(cells[c]);
        LVITEMW sub{};
        sub.iSubItem = c + 1;
        sub.pszText = w.data();
        ::SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    }
    return id;
}

void JobList::Remove(int index) {
    inputs_.erase(IdAt(index));
    failures_.erase(IdAt(index));
    ::SendMessageW(durations_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    ::SendMessageW(paths_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    ::SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

int JobList::Count() const { return static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

int JobList::Selected() const {
    return static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string JobList::Cell(int index, int column) const {
    if (index < 0 || index >= Count()) return {};
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

std::string JobList::Progress(int index) const { return Cell(index, 2); }
std::string JobList::Converted(int index) const { return Cell(index, 3); }

void JobList::SetProgress(int index, const std::string& text) {
    std::wstring w = win::Widen(text);
    LVITEMW sub{};
    sub.iSubItem = 2;
    sub.pszText = w.data();
    ::SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
}

void JobList::SetConverted(int index, const std::string& text) {
    std::wstring w = win::Widen(text);
    LVITEMW sub{};
    sub.iSubItem = 3;
    sub.pszText = w.data();
    ::SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
}

std::optional<CheckedPath> JobList::Input(int index) const {
    const auto it = inputs_.find(IdAt(index));
    if (it == inputs_.end()) return std::nullopt;
    return it->second;
}

std::string JobList::Path(int index) const {
    const auto input = Input(index);
    return input ? input->Text() : std::string();
}
std::string JobList::Duration(int index) const { return ListBoxText(durations_, index); }

std::int64_t JobList::IdAt(int index) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!::SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<std::int64_t>(item.lParam);
}

int JobList::IndexOf(std::int64_t id) const {
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(id);
    return static_cast<int>(
        ::SendMessageW(list_, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void JobList::SetFailure(int index, Failure failure) { failures_[IdAt(index)] = failure; }

Failure JobList::FailureAt(int index) const {
    const auto it = failures_.find(IdAt(index));
    return it == failures_.end() ? Failure::None : it->second;
}

}  // namespace kv
