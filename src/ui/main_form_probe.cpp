// The duration probe: the media reader run through a four-line batch file.
#include <fstream>
#include <sstream>

#include "win/error.h"
#include "app/process_runner.h"
#include "app/runner_text.h"
#include "app/settings.h"
#include "convert/job_rules.h"
#include "ui/main_form.h"
#include "win/text.h"

namespace kv {

namespace {

constexpr int kProbeAttempts = 2;

std::string SystemErrorText(DWORD code) {
    wchar_t* buf = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
    std::string text = n ? TrimText(win::Narrow(std::wstring_view(buf, n))) : "Error " + std::to_string(code);
    if (buf) ::LocalFree(buf);
    return text;
}

// The interpreter reads a batch file in the console code page.
bool ToConsoleCodePage(const std::string& utf8, std::string& out) {
    const std::wstring w = win::Widen(utf8);
    if (w.empty()) {
        out.clear();
        return true;
    }
    const UINT cp = ::GetOEMCP();
    BOOL lossy = FALSE;
    const int n = ::WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                        nullptr, &lossy);
    out.assign(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                          &lossy);
    return !lossy;
}

bool IsPlainAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

// Paths reach the tool through the batch file (console code page) and the
// tool's own ANSI command line. Other letters, more than the classic length and
// "%" signs (doubled in the batch text, yet expanded again by some interpreters
// when a value holds several) all put a path at risk; the short form, which the
// system keeps in plain ASCII, is used whenever it is the safer of the two.
std::string TfrmMain::ProbePathForm(const std::string& path) const {
    auto risk = [](const std::string& p) {
        int r = IsPlainAscii(p) ? 0 : 1000;
        if (p.size() >= MAX_PATH) r += 100;
        for (char c : p) r += c == '%' ? 1 : 0;
        return r;
    };
    const int pathRisk = risk(path);
    if (pathRisk == 0) return path;
    const std::string shortForm = ShortName(path);
    return risk(shortForm) < pathRisk ? shortForm : path;
}

std::optional<std::string> TfrmMain::ProbeAnswer(const std::string& path) {
    const std::string batPath = TempDir + "open.bat";
    const std::string answerPath = TempDir + "duration_time.txt";
    SetControlText("Memo3", "");
    const std::string text = ProbeBatchText(ProbePathForm(path), ProbePathForm(TempDir) + "duration_time.txt",
                                            MediaInfoPath);
    SetControlText("Memo3", text);

    std::string bytes;
    const bool exact = ToConsoleCodePage(text, bytes);
    {
        const std::wstring w = win::Widen(batPath);
        win::UniqueFile f(::CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
        if (!f) throw Error("Cannot create file \"" + batPath + "\". " + SystemErrorText(::GetLastError()));
        DWORD written = 0;
        if (!::WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            throw Error("Cannot create file \"" + batPath + "\". " + SystemErrorText(::GetLastError()));
    }

    // A path the console code page cannot spell would reach the tool altered: no
    // answer. Now and then the media reader answers nothing for a file it reads
    // fine a moment later; a second run tells a passing failure from an
    // unreadable file. A run that had to be ended for its time is not repeated.
    std::string answer;
    for (int attempt = 0; exact && attempt < kProbeAttempts; ++attempt) {
        DeleteFileUtf8(answerPath);
        bool timedOut = false;
        ShellExecWaitLimited(batPath, "", SW_HIDE, ProbeTimeLimitMs, &timedOut);
        const std::wstring w = win::Widen(answerPath);
        win::UniqueFile f(::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        if (!f) {
            if (timedOut || attempt + 1 == kProbeAttempts)
                throw Error("Cannot open file \"" + answerPath + "\". " + SystemErrorText(::GetLastError()));
            continue;
        }
        char buf[4096];
        DWORD got = 0;
        while (::ReadFile(f.Get(), buf, sizeof buf, &got, nullptr) && got > 0) answer.append(buf, got);
        if (FirstLine(answer) || timedOut) break;
    }
    SetControlText("Memo3", answer);
    DeleteFileUtf8(batPath);
    DeleteFileUtf8(answerPath);
    return FirstLine(answer);
}

int TfrmMain::ProbeDuration(const std::string& firstLine) { return StoredDuration(firstLine); }

}  // namespace kv
