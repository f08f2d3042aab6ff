// The commands that add files and folders through the program's own dialogs,
// and the one that converts.
#include "dialogs.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "lists.h"

namespace kvdrive {

namespace {

// Presses one of the main window's push buttons and waits for the dialog it
// opens; null, with the reason in `why`, when there is none.
HWND PressForDialog(const Target& t, const Place& place, const std::vector<HWND>& known, std::wstring& why) {
    HWND button = ControlAt(t.frm, place);
    if (!button || ClassOf(button) != WC_BUTTONW) {
        why = L"no push button at the place of " + std::wstring(place.name);
        return nullptr;
    }
    ::PostMessageW(button, BM_CLICK, 0, 0);
    HWND dlg = nullptr;
    if (!WaitFor(30, [&] {
            auto d = NewDialog(t.pid, known);
            return d && (dlg = *d) != nullptr;
        }))
        why = L"no dialog opened after pressing " + std::wstring(place.name);
    return dlg;
}

// Puts a path into an open file dialog and presses its OK; 0 once the dialog
// has taken it, else a failure. `withDialog`: the process's dialogs, this one among them.
int EnterPath(DWORD pid, HWND dlg, const std::vector<HWND>& withDialog, const std::wstring& path) {
    // Explorer-style dialogs name the file in a combo box, older ones in an edit box.
    HWND field = nullptr;
    WaitFor(10, [&] {
        if (HWND cmb = ::GetDlgItem(dlg, 0x47C)) {
            HWND edit = ::FindWindowExW(cmb, nullptr, L"Edit", nullptr);
            field = edit ? edit : cmb;
        } else {
            field = ::GetDlgItem(dlg, 0x480);
        }
        return field != nullptr;
    });
    if (!field) return Fail(L"the file dialog has no file name field");
    DWORD_PTR r = 0;
    if (!::SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 5000, &r) ||
        TextOf(field) != path)
        return Fail(L"cannot put the path into the file dialog");

    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDOK)));
    std::optional<HWND> complaint;
    if (!WaitFor(15, [&] {
            return !::IsWindow(dlg) || !::IsWindowVisible(dlg) || (complaint = NewDialog(pid, withDialog)).has_value();
        })) {
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        return Fail(L"the file dialog did not close");
    }
    if (complaint && ::IsWindow(dlg) && ::IsWindowVisible(dlg)) {
        const std::wstring text = BoxText(*complaint);
        PressOk(*complaint, 5);
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        return Fail(L"the file dialog refused the path: " + text);
    }
    return 0;
}

// One file through "Add MP4 File" and the system's file dialog.
int AddOne(const Target& t, RemoteList& list, const std::wstring& path, bool timing) {
    const auto before = list.Read();
    if (!before) return Fail(L"cannot read the job list");
    const auto known = Dialogs(t.pid);

    std::wstring why;
    HWND dlg = PressForDialog(t, kAddFile, known, why);
    if (!dlg) return Fail(why);
    auto withDialog = known;
    withDialog.push_back(dlg);
    if (const int r = EnterPath(t.pid, dlg, withDialog, path)) return r;

    // The probe runs now; it ends in a new row or in a message box. It begins
    // when the program writes its batch file into the temporary folder (the
    // same folder as ours): without a window manager, Wine may hold the
    // program a while longer in hiding the file dialog.
    const ULONGLONG start = Now();
    wchar_t temp[MAX_PATH + 1];
    const DWORD tn = ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring batch = std::wstring(temp, tn) + L"open.bat";
    std::optional<ULONGLONG> batchSeen, batchGone;
    Rows rows;
    std::optional<HWND> box;
    int turn = 0;
    const bool settled = WaitFor(
        120,
        [&] {
            // While the batch file exists the probe runs: the list is not read
            // then, since every read is served by the program's waiting thread.
            if (::GetFileAttributesW(batch.c_str()) != INVALID_FILE_ATTRIBUTES) {
                if (!batchSeen) batchSeen = Now();
                return false;
            }
            if (batchSeen && !batchGone) batchGone = Now();
            if (!batchSeen && ++turn % 10) return false;
            if ((box = NewDialog(t.pid, withDialog))) return true;
            // The count alone: reading every row each turn would take longer
            // than the program takes to add one.
            const auto count = list.Count();
            return count && static_cast<size_t>(*count) > before->size();
        },
        1);
    const ULONGLONG end = Now();
    if (settled && !box) {
        if (auto now = list.Read()) rows = *now;
    }
    if (!settled) return Fail(L"neither a new row nor a message after adding " + path);
    if (box) {
        const std::wstring title = TextOf(*box), text = BoxText(*box);
        Out(L"MESSAGE\t" + title + L"\t" + text);
        if (!PressOk(*box, 10)) return Fail(L"the message box did not close");
        return 2;
    }
    for (size_t i = before->size(); i < rows.size(); ++i) Out(Joined(rows[i]));
    if (timing) {
        Out(L"add_ms\t" + std::to_wstring(end - start));
        if (batchSeen) Out(L"probe_ms\t" + std::to_wstring(end - *batchSeen));
        // The probe's two halves: from the batch file's writing to its deletion
        // (the run and the answer file), and from then until the row shows.
        if (batchSeen && batchGone) {
            Out(L"probe_run_ms\t" + std::to_wstring(*batchGone - *batchSeen));
            Out(L"probe_row_ms\t" + std::to_wstring(end - *batchGone));
        }
    }
    return 0;
}

}  // namespace

int AddFiles(const std::vector<std::wstring>& paths, bool timing) {
    return WithList([&](const Target& t, RemoteList& list) {
        int result = 0;
        for (const auto& p : paths) {
            const int r = AddOne(t, list, p, timing);
            if (r == 1) return 1;
            result = std::max(result, r);
        }
        return result;
    });
}

// Presses the convert button; with a limit, also waits for the run to end and
// reports how long it took from the press.
int Convert(std::optional<double> waitSeconds) {
    return WithList([&](const Target& t, RemoteList& list) {
        const auto before = list.Read();
        if (!before) return Fail(L"cannot read the job list");
        HWND button = ControlAt(t.frm, kConvert);
        if (!button) return Fail(L"no control at the place of the convert button");
        const ULONGLONG start = Now();
        ClickAt(t.frm, button, kConvert);
        const bool anyPending =
            std::any_of(before->begin(), before->end(), [](const auto& r) { return Progress(r) == L"Pending"; });
        if (anyPending && !WaitFor(
                              15,
                              [&] {
                                  auto now = list.Read();
                                  if (!now || now->size() != before->size()) return true;
                                  for (size_t i = 0; i < now->size(); ++i)
                                      if (Progress((*now)[i]) != Progress((*before)[i])) return true;
                                  return false;
                              },
                              20))
            return Fail(L"the convert button started nothing");
        if (!waitSeconds) return 0;
        ULONGLONG end = 0;
        const int r = WaitRunEndOn(list, *waitSeconds, 20, end);
        Out(L"elapsed_ms\t" + std::to_wstring(end - start));
        return r;
    });
}

namespace {

std::wstring LastPart(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Text of the selected item of the folder picker's tree.
std::wstring SelectedFolderName(HWND tree, const RemoteBlock& mem) {
    DWORD_PTR item = 0;
    if (!::SendMessageTimeoutW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_NORMAL, 5000, &item) || !item) return {};
    constexpr SIZE_T kTextAt = 256, kChars = 1024;
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = reinterpret_cast<HTREEITEM>(item);
    tv.pszText = reinterpret_cast<LPWSTR>(mem.At(kTextAt));
    tv.cchTextMax = static_cast<int>(kChars);
    const wchar_t zero = 0;
    if (!mem.Put(0, &tv, sizeof tv) || !mem.Put(kTextAt, &zero, sizeof zero)) return {};
    DWORD_PTR r = 0;
    if (!::SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(mem.At()), SMTO_NORMAL, 5000, &r) || !r)
        return {};
    std::wstring text(kChars, L'\0');
    if (!mem.Get(kTextAt, text.data(), kChars * sizeof(wchar_t))) return {};
    text.resize(std::wcslen(text.c_str()));
    return text;
}

// The program's message loop is back when a message posted now has been
// handled: messages posted during a command wait until the command ends (its
// waits dispatch only painting). The message is an edit box's length limit,
// which nothing else uses and which can be read back.
class LoopMarker {
public:
    explicit LoopMarker(HWND edit) : edit_(edit) {}
    void Post() {
        value_ = 0x10000000u + static_cast<UINT>(Now() & 0xFFFFFF) + (++count_);
        ::PostMessageW(edit_, EM_SETLIMITTEXT, value_, 0);
    }
    bool Seen() {
        DWORD_PTR limit = 0;
        const ULONGLONG asked = Now();
        const bool answered = ::SendMessageTimeoutW(edit_, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 500, &limit) != 0;
        slowest_ = std::max(slowest_, Now() - asked);
        return answered && limit == value_;
    }
    // The longest the window took to answer (a timed-out question counts its full wait).
    [[nodiscard]] ULONGLONG Slowest() const { return slowest_; }

private:
    HWND edit_;
    UINT value_ = 0;
    UINT count_ = 0;
    ULONGLONG slowest_ = 0;
};

// Presses "Add Folder" and has the folder picker select `folder`; null, with
// the reason in `why`, when it does not. Wine's picker now and then ignores a
// selection request while its tree is still settling; a picker that never
// takes it is cancelled and opened again.
HWND OpenPickerAt(const Target& t, const std::wstring& folder, const std::vector<HWND>& known, std::wstring& why) {
    RemoteBlock mem(t.pid, 8192);
    constexpr SIZE_T kPathAt = 4096;
    if (!mem.Ok() || !mem.Put(kPathAt, folder.c_str(), (folder.size() + 1) * sizeof(wchar_t))) {
        why = L"cannot hand the path to the Korvello process";
        return nullptr;
    }
    const std::wstring name = LastPart(folder);
    for (int opening = 0; opening < 3; ++opening) {
        HWND dlg = PressForDialog(t, kAddFolder, known, why);
        if (!dlg) return nullptr;
        HWND tree = nullptr;
        WaitFor(10, [&] { return (tree = ::FindWindowExW(dlg, nullptr, WC_TREEVIEWW, nullptr)) != nullptr; });
        if (!tree) {
            why = L"the folder picker has no folder tree";
            return nullptr;
        }
        // The program selects its start folder once the picker is up, and the
        // tree fills in as it goes; ours comes after the tree shows a selection.
        WaitFor(15, [&] { return !SelectedFolderName(tree, mem).empty(); });
        ::Sleep(300);
        for (int attempt = 0; attempt < 3; ++attempt) {
            DWORD_PTR r = 0;
            ::SendMessageTimeoutW(dlg, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(mem.At(kPathAt)), SMTO_NORMAL,
                                  10000, &r);
            if (WaitFor(5, [&] { return ::lstrcmpiW(SelectedFolderName(tree, mem).c_str(), name.c_str()) == 0; }))
                return dlg;
        }
        DWORD_PTR count = 0;
        ::SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
        why = L"the folder picker did not select " + folder + L" (selected: \"" + SelectedFolderName(tree, mem) +
              L"\"; tree items " + std::to_wstring(count) + L")";
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        if (!WaitFor(15, [&] { return !::IsWindow(dlg); })) {
            why = L"the folder picker did not close";
            return nullptr;
        }
        ::Sleep(500);  // the cancelled command returns to the message loop
    }
    return nullptr;
}

}  // namespace

// A folder through "Add Folder" and the system's folder picker. Message boxes
// shown while the folder's files are probed are reported and answered; the
// command ends when the program's message loop is back.
int AddFolder(const std::wstring& folder, double seconds, bool timing) {
    return WithList([&](const Target& t, RemoteList& list) {
        const auto before = list.Read();
        if (!before) return Fail(L"cannot read the job list");
        HWND edit1 = ControlAt(t.frm, kEdit1);
        if (!edit1) return Fail(L"no control at the place of Edit1");
        auto known = Dialogs(t.pid);

        std::wstring why;
        HWND dlg = OpenPickerAt(t, folder, known, why);
        if (!dlg) return Fail(why);
        const ULONGLONG start = Now();
        if (!PressOk(dlg, 15)) return Fail(L"the folder picker did not close");
        WaitFor(15, [&] { return !::IsWindow(dlg); });
        known = Dialogs(t.pid);

        LoopMarker marker(edit1);
        marker.Post();
        HWND edit2 = ControlAt(t.frm, kEdit2);
        int result = 0;
        std::wstring failure;
        bool adding = false;  // the window counts "Adding n of m" while it probes, answering all the while
        const bool ended = WaitFor(
            seconds,
            [&] {
                if (edit2 && TextOf(edit2).starts_with(L"Adding ")) {
                    adding = true;
                    (void)marker.Seen();
                    return false;
                }
                if (adding) {  // the marker may have been handled during the adding: the loop's own turn is wanted
                    adding = false;
                    marker.Post();
                    return false;
                }
                if (auto box = NewDialog(t.pid, known)) {
                    Out(L"MESSAGE\t" + TextOf(*box) + L"\t" + BoxText(*box));
                    result = 2;
                    if (!PressOk(*box, 10)) {
                        failure = L"a message box did not close";
                        return true;
                    }
                    marker.Post();
                    return false;
                }
                return marker.Seen();
            },
            100);
        const ULONGLONG end = Now();
        if (!failure.empty()) return Fail(failure);
        if (!ended) return Fail(L"the folder was still being added after " + std::to_wstring(seconds) + L" s");
        const auto rows = list.Read();
        if (!rows) return Fail(L"cannot read the job list");
        for (size_t i = before->size(); i < rows->size(); ++i) Out(Joined((*rows)[i]));
        if (timing) {
            Out(L"add_ms\t" + std::to_wstring(end - start));
            Out(L"slowest_answer_ms\t" + std::to_wstring(marker.Slowest()));
        }
        return result;
    });
}

}  // namespace kvdrive
