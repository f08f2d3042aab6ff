#pragma once
// What the transcoder's error output says: whether the sound it read was cut
// short or damaged, and why a job failed, in words a user understands.
#include <cstdint>
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
    Unknown,
};

// Whether the log reports sound that was lost on the way: a file cut short
// ("partial file"), packets it could not read, or frames it could not decode.
// The transcoder still ends normally then, with a short MP3.
bool DamageReported(std::string_view log);

// Why a job failed, from the transcoder's exit code and its log. The paths tell
// a missing input from an output folder that cannot be written.
Failure ClassifyFailure(std::uint32_t exitCode, std::string_view log, std::string_view inputPath,
                        std::string_view outputPath);

// The reason in plain words.
std::string FailureReason(Failure failure);

// The message a click on a failed row shows: the file's name and the reason.
std::string FailureMessage(std::string_view inputPath, Failure failure);

}  // namespace kv
