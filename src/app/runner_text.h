#pragma once
// Text rules of the process runner and its small utilities; no Windows API.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// CreateProcessW takes at most 32767 characters including the terminating zero.
inline constexpr std::size_t kMaxCommandLine = 32766;

// "program, one blank, parameters". The program is quoted when it holds a blank,
// otherwise CreateProcess may start C:\Program.exe for C:\Program Files\x.exe.
// Nothing for a program the line cannot carry: one holding a quote (unless
// it is quoted whole already) or a control character, or none at all.
std::optional<std::string> BuildCommandLine(std::string_view program, std::string_view params);

// One argument as CommandLineToArgvW and the C run-time read it back: in
// quotes, with each quote escaped and backslashes doubled only where they come
// before a quote or the closing one. QuoteArgument leaves bare an argument
// that needs no quotes (not empty, no blank, tab, line break or quote).
std::string QuoteAlways(std::string_view arg);
std::string QuoteArgument(std::string_view arg);

// The folder a started program runs in: the program path up to its last "\" or
// ":", without a final "\" unless it follows ":" or "\" (a drive root keeps it).
std::string FolderPart(std::string_view path);

// Looks for a program in the current folder, then in each folder of the Path
// list; `exists` tells whether a file exists. Empty when not found.
std::string LocateProgram(std::string_view exeName, std::string_view pathList, std::string_view currentDir,
                          const std::function<bool(const std::string&)>& exists);

// A file name without its last extension ("clip.part1.mp4" -> "clip.part1").
std::string NamePart(std::string_view name);

// The file-name part of a path (after the last "\", "/" or ":").
std::string FileNamePart(std::string_view path);

// Every run of "\\" becomes "\" (one pass, left to right), except the two
// that begin a server path ("\\server\share").
std::string CollapseDoubleBackslashes(std::string_view path);

// Whole seconds of a time text H[:MM[:SS[.mmm]]], with optional AM/PM markers
// (hours without a marker are a duration's: 24 and more are fine);
// the separators are always ":" and "." whatever the user's regional settings,
// since the media reader always writes them so. Throws kv::Error
// "'<text>' is not a valid time" for anything else.
int TimeTextToSeconds(std::string_view text);

// The text a second copy hands to the running one: each parameter followed by a
// blank; a parameter containing ".EXE" (any case) discards all collected so far.
std::string CollectParameters(const std::vector<std::string>& params);

// Whether the program is a batch file (".bat" or ".cmd", in any case), which
// the command interpreter runs: it needs a console.
bool IsBatchFile(std::string_view program);

// The probe's files in the temporary folder for each of the slots that run
// side by side: "open.bat" and "duration_time.txt" for slot 0, the same names
// with slot + 1 before the extension for the others.
inline constexpr int kMostProbeSlots = 8;
std::string ProbeBatchName(int slot);
std::string ProbeAnswerName(int slot);

// The text rules of win/utf8.h that the runner's callers use with these, declared
// again here: a portable header of this layer includes no header of the Windows layer.
[[nodiscard]] bool SameTextAscii(std::string_view a, std::string_view b);
[[nodiscard]] std::string TrimText(std::string_view s);

}  // namespace kv
