// What other programs on the desktop do to a running Korvello, for the
// end-to-end tests: hand it paths in WM_COPYDATA as any program may, drop
// files on its window as Explorer does, minimize it, tell its window's state.
// Output is UTF-8; exit code 0 means success, 1 failure.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Out(const std::wstring& s) {
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string u(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), u.data(), n, nullptr, nullptr);
    std::printf("%s\n", u.c_str());
}

int Fail(const std::wstring& why) {
    Out(L"kv_outside: " + why);
    return 1;
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[256];
    const int n = ::GetClassNameW(w, buf, 256);
    return n > 0 ? std::wstring(buf, static_cast<size_t>(n)) : std::wstring();
}

// The first copy's application window (the one that carries its mark) and its main window.
struct FirstCopy {
    HWND app = nullptr, form = nullptr;
};
FirstCopy Find() {
    FirstCopy found;
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            if (ClassOf(w) == L"TApplication" && ::GetPropW(w, L"Korvello.FirstCopy"))
                reinterpret_cast<FirstCopy*>(lp)->app = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    if (!found.app) return found;
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* f = reinterpret_cast<FirstCopy*>(lp);
            if (::GetWindow(w, GW_OWNER) == f->app && ClassOf(w) == L"TfrmMain") f->form = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// One WM_COPYDATA with the hand-over block, as any program could send it.
int HandOver(const FirstCopy& k, const std::vector<std::wstring>& paths) {
    std::wstring block;
    for (const auto& p : paths) {
        block += p;
        block.push_back(L'\0');
    }
    COPYDATASTRUCT data{0x4B565001, static_cast<DWORD>(block.size() * sizeof(wchar_t)), block.data()};
    DWORD_PTR r = 0;
    if (!::SendMessageTimeoutW(k.form, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_BLOCK, 20000, &r))
        return Fail(L"no answer");
    Out(r ? L"TAKEN" : L"REFUSED");
    return 0;
}

// WM_DROPFILES with a DROPFILES block written into the program's own memory,
// which is where its DragQueryFile reads it.
int Drop(const FirstCopy& k, const std::vector<std::wstring>& paths) {
    std::wstring names;
    for (const auto& p : paths) {
        names += p;
        names.push_back(L'\0');
    }
    names.push_back(L'\0');
    DROPFILES head{};
    head.pFiles = sizeof head;
    head.pt = {40, 40};
    head.fWide = TRUE;
    std::vector<char> bytes(sizeof head + names.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), &head, sizeof head);
    std::memcpy(bytes.data() + sizeof head, names.data(), names.size() * sizeof(wchar_t));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(k.form, &pid);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return Fail(L"cannot open the program");
    // Left to the program: its DragFinish lets the drop go.
    void* at = ::VirtualAllocEx(process, nullptr, bytes.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const bool written = at && ::WriteProcessMemory(process, at, bytes.data(), bytes.size(), nullptr);
    ::CloseHandle(process);
    if (!written) return Fail(L"cannot write the drop into the program");
    if (!::PostMessageW(k.form, WM_DROPFILES, reinterpret_cast<WPARAM>(at), 0)) return Fail(L"the drop was refused");
    Out(L"DROPPED");
    return 0;
}

// The process's visible dialogs (file dialogs, message boxes).
std::vector<HWND> DialogsOf(HWND form) {
    struct Ctx {
        DWORD pid;
        std::vector<HWND> found;
    } ctx{0, {}};
    ::GetWindowThreadProcessId(form, &ctx.pid);
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(lp);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid == c->pid && ::IsWindowVisible(w) && ClassOf(w) == L"#32770") c->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

// Presses "Add MP4 File" without waiting for it, and waits for its dialog.
int OpenFileDialog(const FirstCopy& k) {
    HWND button = nullptr;
    for (HWND c = ::GetWindow(k.form, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t text[64] = {};
        ::GetWindowTextW(c, text, 64);
        std::wstring t(text);
        std::erase(t, L'&');
        if (ClassOf(c) == L"Button" && t == L"Add MP4 File") button = c;
    }
    if (!button) return Fail(L"no Add MP4 File button");
    ::PostMessageW(button, BM_CLICK, 0, 0);
    for (int i = 0; i < 200; ++i, ::Sleep(50))
        if (!DialogsOf(k.form).empty()) {
            Out(L"OPEN");
            return 0;
        }
    return Fail(L"no dialog opened");
}

// Prints each open dialog's texts (a message box's message), then cancels it.
int CloseDialogs(const FirstCopy& k) {
    for (HWND d : DialogsOf(k.form)) {
        std::wstring text;
        for (HWND c = ::GetWindow(d, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            wchar_t buf[2048] = {};
            if (ClassOf(c) == L"Static" && ::GetWindowTextW(c, buf, 2048) > 0)
                text += (text.empty() ? L"" : L" ") + std::wstring(buf);
        }
        Out(L"DIALOG\t" + text);
        ::PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    for (int i = 0; i < 200 && !DialogsOf(k.form).empty(); ++i) ::Sleep(50);
    if (!DialogsOf(k.form).empty()) return Fail(L"a dialog stays open");
    Out(L"CLOSED");
    return 0;
}

int State(const FirstCopy& k) {
    Out(std::wstring(::IsIconic(k.app) ? L"minimized" : L"normal") + L" " +
        (::IsWindowVisible(k.form) ? L"shown" : L"hidden"));
    return 0;
}

// What Explorer does with a static verb of the menu for a selection: the
// verb's command line with %1 replaced by each item, one process per item,
// all started at once. Prints each process's exit code (RUNNING for the one
// that stays as the first copy) once the others have ended.
int ShellVerb(const std::wstring& key, const std::vector<std::wstring>& items) {
    // Windows reads the classes of the user merged into HKCR; Wine merges not all of them.
    HKEY h = nullptr;
    const std::wstring sub = key + L"\\command";
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, sub.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS &&
        ::RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + sub).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return Fail(L"no command under " + key);
    wchar_t buf[2048] = {};
    DWORD bytes = sizeof buf - sizeof(wchar_t);
    const LSTATUS r = ::RegQueryValueExW(h, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &bytes);
    ::RegCloseKey(h);
    if (r != ERROR_SUCCESS) return Fail(L"no command line under " + key);
    const std::wstring command = buf;
    const std::size_t at = command.find(L"%1");
    if (at == std::wstring::npos) return Fail(L"no %1 in " + command);
    // With a copy already running every new one hands over and ends; else the first stays.
    const int staying = Find().form ? 0 : 1;
    std::vector<PROCESS_INFORMATION> started;
    for (const auto& item : items) {
        std::wstring line = command.substr(0, at) + item + command.substr(at + 2);
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return Fail(L"cannot start " + line);
        ::CloseHandle(pi.hThread);
        started.push_back(pi);
    }
    const auto alive = [&] {
        int n = 0;
        for (const auto& pi : started) n += ::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
        return n;
    };
    for (int i = 0; i < 1800 && alive() > staying; ++i) ::Sleep(100);
    for (auto& pi : started) {
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(pi.hProcess, &code);
        Out(code == STILL_ACTIVE ? L"RUNNING" : L"EXIT " + std::to_wstring(code));
        ::CloseHandle(pi.hProcess);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        Out(L"usage: kv_outside hand-over PATH... | drop PATH... | minimize | state | open-file-dialog | "
            L"close-dialogs | plant PATH | shell-verb KEY ITEM... | short-name PATH");
        return 2;
    }
    const std::wstring cmd = argv[1];
    const std::vector<std::wstring> args(argv + 2, argv + argc);
    if (cmd == L"plant" && args.size() == 1) {
        // A file left read-only, hidden and system, as no program of ours leaves one.
        const DWORD bits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (!::SetFileAttributesW(args[0].c_str(), bits)) return Fail(L"cannot set the attributes");
        Out(L"PLANTED");
        return 0;
    }
    if (cmd == L"shell-verb" && args.size() >= 2) return ShellVerb(args[0], {args.begin() + 1, args.end()});
    if (cmd == L"short-name" && args.size() == 1) {
        // The 8.3 alias the volume gives a long name.
        wchar_t alias[MAX_PATH] = {};
        const DWORD n = ::GetShortPathNameW(args[0].c_str(), alias, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return Fail(L"no short name");
        Out(alias);
        return 0;
    }
    const FirstCopy k = Find();
    if (!k.app || !k.form) return Fail(L"no first copy of Korvello");
    if (cmd == L"hand-over") return HandOver(k, args);
    if (cmd == L"drop") return Drop(k, args);
    if (cmd == L"state") return State(k);
    if (cmd == L"open-file-dialog") return OpenFileDialog(k);
    if (cmd == L"close-dialogs") return CloseDialogs(k);
    if (cmd == L"minimize") {
        ::PostMessageW(k.form, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        for (int i = 0; i < 100 && !::IsIconic(k.app); ++i) ::Sleep(50);
        return State(k);
    }
    return Fail(L"unknown command " + cmd);
}
