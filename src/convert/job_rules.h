#pragma once
// Rules of the job list, the duration probe and the conversion run that need no
// Windows API: texts, names, hit-testing and progress arithmetic.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/checked_path.h"
#include "convert/choices.h"

namespace kv {

inline constexpr std::string_view kPending = "Pending";
inline constexpr std::string_view kMeasuring = "Measuring";
inline constexpr std::string_view kDone = "Done";
inline constexpr std::string_view kFailed = "Failed";
inline constexpr std::string_view kSkipped = "Skipped";
inline constexpr std::string_view kConvertedMark = "MP3";

inline constexpr std::string_view kBadFileMessage =
    "Cannot process this file! Bad file header! Please use different file.";
std::string BadFolderFileMessage(std::string_view fileNameWithExtension);
// When a tool file could not be written or is not the program's own.
inline constexpr std::string_view kToolsUnavailableMessage =
    "Korvello could not set up its conversion tools, so it cannot read or convert files. "
    "Close Korvello and start it again.";

// The name a row shows: the file name without folder and last extension.
std::string DisplayName(std::string_view path);

// Skipped: its MP3 was there already and the user chose to keep it.
enum class JobState : std::uint8_t { Pending, Running, Done, Failed, Skipped };

enum class ListClick { None, RemovePending, OpenOutputFolder, OpenInputFile, ShowFailure };

// What a click at x (list client coordinates) on a row does, given the widths of
// columns 0 to 3 and the row's state. All comparisons are strict, so a click
// exactly on a column boundary does nothing.
ListClick ListClickRule(int x, const std::array<int, 4>& widths, JobState state);

// The probe's batch file, four CR LF lines, each path in quotes, inside which
// the interpreter takes & | < > ^ ( ) literally. Percent signs are doubled so
// that it hands them to the tool unchanged. Nothing when a path holds what
// the file cannot carry: a quote or a control character (either would end the
// quoted text or the line), or "!" (special wherever the user has switched
// on delayed expansion).
// `readWhole`: the reader parses the whole file (a raw stream's length is known only at its end).
std::optional<std::string> ProbeBatchText(std::string_view inputPath, std::string_view answerPath,
                                          std::string_view mediaInfoPath, bool readWhole = false);

// The first line of a text file's contents, or nothing when it has no line
// (a line break at the very end does not begin another line).
std::optional<std::string> FirstLine(std::string_view text);

// Whole seconds plus one, from the media reader's first answer line.
int StoredDuration(std::string_view firstLine);

// WorkDir, one "\" and the input's file name with ".mp3" for its last extension,
// trimmed of blanks and control characters at both ends.
std::string OutputPathFor(std::string_view workDir, std::string_view inputPath);

// A file's place in the tree of a folder added with its subfolders: the
// folder's own name, then the folders between it and the file ("Trip\Day 1").
std::string TreePlaceOf(std::string_view addedFolder, std::string_view file);
// Where a job's MP3 goes: beside its source, or in the output folder below its place in the tree.
std::string OutputFolderFor(std::string_view workDir, std::string_view subfolder, std::string_view input, bool beside);

// An absolute path (a drive's or a server's) holding no quote or control character.
bool IsOutputPath(std::string_view path);

// The transcoder's argument line, both paths quoted as the C run-time reads
// them back; at 128 kbit/s the plain default line. The output is named as
// MP3 in the line: its temporary name does not end in ".mp3". Nothing when the
// output path is no name a file can have (a quote or a control character).
std::optional<std::string> FfmpegArgsFor(const CheckedPath& input, std::string_view outputPath,
                                         Mp3Quality quality = Mp3Quality::Kbps128);

// Where an MP3 is written until it is whole: "x.mp3.TAG.korvello-part" beside
// it, which no user's MP3 is called and no player takes for one; a name that
// would pass kMaxPartialNameUnits gives "~korvello.TAG.korvello-part".
inline constexpr std::size_t kMaxPartialNameUnits = 255;
std::string PartialOutputPath(std::string_view finalPath, std::string_view tag);

// Whose a temporary MP3 is: the PC (a hash of its name: an output folder on
// a share may hold files of several PCs), the process that writes it (its id
// and its start time, so that a later process with the same id is not taken
// for it) and the job.
struct PartTag {
    std::uint32_t host = 0;
    std::uint32_t pid = 0;
    std::uint64_t started = 0;
    std::int64_t job = 0;
    bool operator==(const PartTag&) const = default;
};
// "HOST-PID-STARTED-JOB": eight hexadecimal digits, hexadecimal, hexadecimal, decimal.
std::string PartTagText(const PartTag& tag);
// The tag of a temporary MP3's file name ("x.mp3.TAG.korvello-part", with
// "-N" after TAG when that name was taken); nothing for any other name.
std::optional<PartTag> PartTagOf(std::string_view fileName);
// The PC's part of a tag, from its name (FNV-1a of the name's bytes, never 0).
std::uint32_t HostTag(std::string_view computerName);

// The folders where the last runs wrote, as stored: "|" between them, newest
// first. Only absolute paths are read back.
std::vector<std::string> PartFoldersFrom(std::string_view stored);
// The stored text with `folder` first, at most kMaxPartFolders of them.
inline constexpr std::size_t kMaxPartFolders = 8;
std::string WithPartFolder(std::string_view stored, const std::string& folder);

// size x 100 / expected, truncated toward zero; not limited to 100.
std::int64_t PercentOf(std::int64_t size, std::int64_t expected);
std::string PercentText(std::int64_t percent);

// An MP3 at 128 kbit/s: 16000 bytes a second of sound.
inline constexpr double kMp3BytesPerSecond = 16000.0;

// A name no other row of this run has written and, as `taken` says, no file
// has: "x.mp3", else "x (2).mp3", "x (3).mp3" ... The stem is shortened (never
// inside a character) so that every name, suffix included, stays within
// kMaxNameUnits. The candidate itself when no name is free.
std::string FreeOutputPath(const std::string& candidate, const std::function<bool(const std::string&)>& taken);
// The file name within kMaxNameUnits: the stem is shortened to keep the extension
// and room for `reserve` more units.
std::string FitName(const std::string& path, std::size_t reserve = 0);

// The longest file name a volume takes, in UTF-16 units.
inline constexpr std::size_t kMaxNameUnits = 255;

}  // namespace kv
