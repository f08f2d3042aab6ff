#include "convert/duration_probe_win.h"

#include "app/process_runner_win.h"
#include "app/runner_text.h"
#include "app/settings_win.h"
#include "win/error.h"
#include "win/file.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv {

std::string WinProbePlatform::ShortName(const std::string& path) { return kv::ShortName(path); }

bool EncodeForCodePage(const std::string& utf8, UINT codePage, std::string& bytes) {
    bytes.clear();
    const std::wstring w = win::Widen(utf8);
    if (w.empty()) return true;
    // No conversion flags: several code pages (UTF-8 among them) refuse every
    // flag, and the round trip below tells an exact text from an altered one.
    const int n =
        ::WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    bytes.assign(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), bytes.data(), n, nullptr, nullptr);
    const int back = ::MultiByteToWideChar(codePage, 0, bytes.data(), n, nullptr, 0);
    if (back <= 0) return false;
    std::wstring again(static_cast<size_t>(back), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), n, again.data(), back);
    return again == w;
}

// The interpreter reads a batch file in the console code page.
bool WinProbePlatform::ToConsoleCodePage(const std::string& utf8, std::string& bytes) {
    return EncodeForCodePage(utf8, codePage_ ? codePage_ : ::GetOEMCP(), bytes);
}

void WinProbePlatform::WriteFile(const std::string& path, const std::string& bytes) {
    const std::wstring w = win::FilePath(path);
    win::UniqueFile f(
        ::CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!f || !::WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw Error("Cannot create file \"" + path + "\". " + win::SystemErrorText(::GetLastError()));
    written_ = bytes;
}

std::string BatchInterpreter() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) throw Error("The system folder cannot be found.");
    return win::Narrow(std::wstring_view(folder, n)) + "\\cmd.exe";
}

bool WinProbePlatform::RunBatch(const std::string& batPath, std::uint32_t limitMs) {
    // Held open against writing while it runs, and still what was written:
    // nothing else in the temporary folder may put its own commands in it.
    win::UniqueFile held(::CreateFileW(win::FilePath(batPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    if (!held) throw Error("Cannot open file \"" + batPath + "\". " + win::SystemErrorText(::GetLastError()));
    std::string now(written_.size() + 1, '\0');
    DWORD got = 0;
    if (!::ReadFile(held.Get(), now.data(), static_cast<DWORD>(now.size()), &got, nullptr) || got != written_.size() ||
        now.compare(0, got, written_) != 0)
        throw Error("The file \"" + batPath + "\" was changed by another program.");
    // Named from its own folder: no quoting of the folder's name can go wrong in the line.
    // The interpreter runs the tool as its child: the job ends both at the limit.
    const LaunchOptions batch{.program = BatchInterpreter(),
                              .parameters = kBatchParameters + FileNamePart(batPath),
                              .folder = FolderPart(batPath),
                              .show = SW_HIDE,
                              .inJob = true,
                              .belowNormal = ToolsBelowNormal(),
                              .wait = true,
                              .timeLimitMs = limitMs,
                              .stop = stop_};
    return Launch(batch).outcome == LaunchResult::Outcome::TimedOut;
}

bool WinProbePlatform::RunReader(const std::string& reader, const std::string& args, const std::string& outputPath,
                                 std::uint32_t limitMs) {
    // The command line is UTF-16 throughout, so any file name reaches the reader.
    const LaunchOptions run{.program = reader,
                            .parameters = args,
                            .show = SW_HIDE,
                            .console = false,
                            .inJob = true,
                            .belowNormal = ToolsBelowNormal(),
                            .wait = true,
                            .timeLimitMs = limitMs,
                            .stop = stop_,
                            .outputFile = outputPath};
    return Launch(run).outcome == LaunchResult::Outcome::TimedOut;
}

std::optional<std::string> WinProbePlatform::ReadFile(const std::string& path, std::string& why) {
    std::optional<std::string> contents = win::ReadWholeFile(path);
    if (!contents) why = win::SystemErrorText(::GetLastError());
    return contents;
}

void WinProbePlatform::DeleteFile(const std::string& path) { DeleteFileUtf8(path); }

void WinProbePlatform::ShowProbeText(const std::string& text) {
    if (store_) ::SetWindowTextW(store_, win::Widen(text).c_str());
}

}  // namespace kv
