#pragma once
// What the transcoder's error output says: whether the sound it read was cut
// short or damaged, and why a job failed, in words a user understands.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

enum class Failure : std::uint8_t {
    None,
    NotStarted,    // the transcoder could not be started
    Stalled,       // it stopped writing and was ended
    NoAudio,       // the file has no sound track
    Damaged,       // damaged or cut short
    InputMissing,  // the file is gone or cannot be opened
    OutputFolder,  // the output folder is missing or cannot be written
    DiskFull,
    OutputLocked,   // the finished MP3 could not be given its name: held open, or the folder refuses it
    Ended,          // the transcoder was ended before it wrote its summary: the sound may be cut
    InputIsOutput,  // the input is the very file its MP3 would replace
    SourceFolder,   // the MP3 was to go beside its source, and that folder cannot be written
    NotMeasured,    // even loudness was chosen, and the file's loudness could not be measured
    Unknown,
};

// Whether the log reports sound that was lost on the way: a file cut short
// ("partial file"), packets it could not read, or frames it could not decode.
// The transcoder still ends normally then, with a short MP3.
bool DamageReported(std::string_view log);

// The time the transcoder reports having reached in its output, from its last
// progress line ("size= ... time=00:01:00.01"), in seconds; nothing without
// one. A "time=" inside a tag's text is not read.
std::optional<double> ReachedSeconds(std::string_view log);

// The input's duration as the transcoder read it: the "  Duration:" line of
// "Input #0"; of several (a forged tag key), the longest.
std::optional<double> InputSeconds(std::string_view log);

// Whether the transcoder's report ends with its end-of-run summary
// ("video:0kB audio:... muxing overhead: 0.5%"), which it writes only once it
// has read its input to the end and closed the MP3; a transcoder ended from
// outside never writes it.
bool SummaryWritten(std::string_view log);

// Whether output reaching `reachedSeconds` holds an input of `inputSeconds`:
// within one second or one percent, whichever is more. A few damaged packets
// cost milliseconds of sound; a cut file loses all that follows the cut.
bool CoversInput(double reachedSeconds, double inputSeconds);

// Why a job failed, from the transcoder's exit code and its log. The paths tell
// a missing input from an output folder that cannot be written.
Failure ClassifyFailure(std::uint32_t exitCode, std::string_view log, std::string_view inputPath,
                        std::string_view outputPath);

// The reason in plain words.
std::string FailureReason(Failure failure);

// The message a click on a failed row shows: the file's name and the reason.
std::string FailureMessage(std::string_view inputPath, Failure failure);

// Calls `visit` with each line of the log; a carriage return ends a line too,
// as the transcoder rewrites its progress line in place with one.
template <class Visit>
void ForEachLine(std::string_view log, Visit visit) {
    std::size_t begin = 0;
    while (begin < log.size()) {
        const std::size_t end = std::min(log.find_first_of("\r\n", begin), log.size());
        if (end > begin) visit(log.substr(begin, end - begin));  // CR LF makes no empty line
        begin = end + 1;
    }
}

}  // namespace kv
