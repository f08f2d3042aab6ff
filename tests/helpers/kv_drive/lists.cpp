// The job list, read across the process boundary, and the commands that
// read it or wait for it.
#include "lists.h"

#include <algorithm>

namespace kvdrive {

// ---- the job list, read across the process boundary ---------------------------------

std::wstring Progress(const std::vector<std::wstring>& row) {
    return row.size() > kProgressColumn ? row[kProgressColumn] : std::wstring();
}

std::wstring Joined(const std::vector<std::wstring>& row) {
    std::wstring line;
    for (size_t i = 0; i < row.size(); ++i) line += (i ? L"\t" : L"") + row[i];
    return line;
}

namespace {

bool EndsWith(const std::wstring& s, std::wstring_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool Working(const std::wstring& progress) {
    return progress == L"Pending" || progress == L"Measuring" || EndsWith(progress, L"% Done");
}

void PrintRows(const Rows& rows) {
    for (const auto& r : rows) Out(Joined(r));
}

}  // namespace

std::optional<Target> FindTarget(std::wstring& why) {
    Target t;
    t.frm = MainWindow();
    if (!t.frm) {
        why = L"no visible Korvello main window (class TfrmMain)";
        return std::nullopt;
    }
    t.pid = ProcessOf(t.frm);
    t.list = ControlAt(t.frm, kList);
    if (!t.list || ClassOf(t.list) != WC_LISTVIEWW) {
        why = L"no list view at the job list's place in the main window";
        return std::nullopt;
    }
    return t;
}

// ---- commands ----------------------------------------------------------------------

int WaitWindow(double seconds) {
    HWND frm = nullptr;
    if (!WaitFor(seconds, [&] { return (frm = MainWindow()) && Responsive(frm, 1000); }))
        return Fail(L"no responsive Korvello main window within " + std::to_wstring(seconds) + L" s");
    Out(std::to_wstring(ProcessOf(frm)));
    return 0;
}

int PrintRowsCommand() {
    return WithList([&](const Target&, RemoteList& list) {
        auto rows = list.Read();
        if (!rows) return Fail(L"cannot read the job list");
        PrintRows(*rows);
        return 0;
    });
}

namespace {

// Waits until no row is pending or running; prints the rows either way.
int WaitIdleOn(RemoteList& list, double seconds, DWORD stepMs) {
    Rows last;
    bool readable = true;
    const bool idle = WaitFor(
        seconds,
        [&] {
            auto rows = list.Read();
            if (!rows) return !(readable = false);
            last = *rows;
            return std::none_of(last.begin(), last.end(), [](const auto& r) { return Working(Progress(r)); });
        },
        stepMs);
    PrintRows(last);
    if (!readable) return Fail(L"cannot read the job list (did the program end?)");
    if (!idle) return Fail(L"rows still pending or running after " + std::to_wstring(seconds) + L" s");
    return 0;
}

}  // namespace

// The same wait as WaitIdleOn for a conversion run, but light on the program:
// a run finishes rows in list order and a finished row stays finished, so each
// poll reads the row count and the progress of the first row still working,
// not the whole list. Polling the whole list every 20 ms would cost the
// program and the machine more than the run it measures. A change of the row
// count starts the scan over.
int WaitRunEndOn(RemoteList& list, double seconds, DWORD stepMs, ULONGLONG& end) {
    int scanned = 0, known = -1;
    bool readable = true;
    const bool idle = WaitFor(
        seconds,
        [&] {
            const auto count = list.Count();
            if (!count) return !(readable = false);
            if (*count != known) known = *count, scanned = 0;
            while (scanned < known) {
                const auto p = list.Cell(scanned, kProgressColumn, 32);
                if (!p) return !(readable = false);
                if (Working(*p)) return false;
                ++scanned;
            }
            return true;
        },
        stepMs);
    end = Now();
    if (!readable) return Fail(L"cannot read the job list (did the program end?)");
    const auto rows = list.Read();
    if (!rows) return Fail(L"cannot read the job list (did the program end?)");
    PrintRows(*rows);
    if (!idle) return Fail(L"rows still pending or running after " + std::to_wstring(seconds) + L" s");
    return 0;
}

// A left click on a row's cell at x (list client coordinates), through the list
// itself, with the pointer there as the window reads it. Prints the message box
// it brings up ("MESSAGE\ttitle\ttext", exit 2, the box then closed) or NONE.
int ClickCell(int row, int x) {
    return WithList([&](const Target& t, RemoteList&) {
        RemoteBlock mem(t.pid, sizeof(RECT));
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        DWORD_PTR ok = 0;
        if (!mem.Ok() || !mem.Put(0, &r, sizeof r) ||
            !::SendMessageTimeoutW(t.list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                   reinterpret_cast<LPARAM>(mem.At()), SMTO_NORMAL, 5000, &ok) ||
            !ok || !mem.Get(0, &r, sizeof r))
            return Fail(L"no row " + std::to_wstring(row));
        const POINT pt{x, (r.top + r.bottom) / 2};
        POINT screen = pt;
        ::ClientToScreen(t.list, &screen);
        ::SetCursorPos(screen.x, screen.y);
        const auto known = Dialogs(t.pid);
        const LPARAM lp = MAKELPARAM(pt.x, pt.y);
        // As a hand would: onto the cell, a pause, press, a pause, release.
        ::PostMessageW(t.list, WM_MOUSEMOVE, 0, lp);
        ::Sleep(100);
        ::PostMessageW(t.list, WM_LBUTTONDOWN, MK_LBUTTON, lp);
        ::Sleep(100);
        ::PostMessageW(t.list, WM_LBUTTONUP, 0, lp);
        std::optional<HWND> box;
        WaitFor(5, [&] { return (box = NewDialog(t.pid, known)).has_value(); });
        if (!box) {
            Out(L"NONE");
            return 0;
        }
        Out(L"MESSAGE\t" + TextOf(*box) + L"\t" + BoxText(*box));
        if (!PressOk(*box, 10)) return Fail(L"the message box did not close");
        return 2;
    });
}

int WaitIdle(double seconds) {
    return WithList([&](const Target&, RemoteList& list) { return WaitIdleOn(list, seconds, 100); });
}

namespace {

// A row whose conversion is under way, past its start.
bool UnderWay(const std::vector<std::wstring>& row) {
    const std::wstring p = Progress(row);
    return EndsWith(p, L"% Done") && std::wcstol(p.c_str(), nullptr, 10) > 0;
}

// Waits until the rows read satisfy `want`; prints the last rows read either way.
bool WaitRows(RemoteList& list, double seconds, const std::function<bool(const Rows&)>& want) {
    Rows last;
    const bool seen = WaitFor(seconds, [&] {
        auto rows = list.Read();
        if (!rows) return false;
        last = *rows;
        return want(last);
    });
    PrintRows(last);
    return seen;
}

}  // namespace

// Waits until the list shows a finished row and a running one at once.
int WaitProgress(double seconds) {
    return WithList([&](const Target&, RemoteList& list) {
        const bool seen = WaitRows(list, seconds, [](const Rows& rows) {
            return std::any_of(rows.begin(), rows.end(), [](const auto& r) { return Progress(r) == L"Done"; }) &&
                   std::any_of(rows.begin(), rows.end(), UnderWay);
        });
        return seen ? 0 : Fail(L"no moment with both a finished and a running row");
    });
}

// Waits until a row shows a conversion under way, past its start.
int WaitRunning(double seconds) {
    return WithList([&](const Target&, RemoteList& list) {
        const bool seen =
            WaitRows(list, seconds, [](const Rows& rows) { return std::any_of(rows.begin(), rows.end(), UnderWay); });
        return seen ? 0 : Fail(L"no row under way within " + std::to_wstring(seconds) + L" s");
    });
}

}  // namespace kvdrive
