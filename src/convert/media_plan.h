#pragma once
// What a file's own report says of it (its sound tracks, pictures and
// chapters), and the argument line that makes one MP3 per chapter or takes a
// frame of the video for a cover. The report comes from the transcoder reading
// the file's header: its text is the file's own, so nothing of it reaches the
// line or a name unchecked.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/checked_path.h"
#include "convert/choices.h"
#include "convert/loudness.h"

namespace kv {

struct Chapter {
    double start = 0;
    std::string title;
};

struct MediaReport {
    // The sound the transcoder would pick: the track marked default, else the first.
    std::optional<int> audioStream;
    bool movingVideo = false;   // a video stream that is no attached picture
    bool coverPicture = false;  // an attached picture
    std::optional<double> seconds;
    std::vector<Chapter> chapters;  // in the file's order
};

// Reads "Input #0" of the transcoder's report; a report of nothing gives an empty one.
MediaReport ReadMediaReport(std::string_view log);

// One MP3 of a file split at its chapters: samples [from, to) of the sound at
// 44.1 kHz (to the end when `to` is unset), its number from 1.
struct Piece {
    std::int64_t from = 0;
    std::optional<std::int64_t> to;
    int number = 1;
    std::string title;  // the chapter's title, as a tag may hold it
    bool operator==(const Piece&) const = default;
};

struct OutputPlan {
    std::optional<int> audioStream;  // named in the line: picking a picture disables the automatic choice
    std::optional<double> coverAt;   // seconds into the input of the frame taken for a cover
    std::vector<Piece> pieces;       // two or more when the file is split
    SoundPlan sound;                 // a gain, or tags; untouched by default
    [[nodiscard]] bool Plain() const { return !coverAt && pieces.empty() && sound.Untouched(); }
};

inline constexpr int kSampleRate = 44100;
// The widest cover taken from a video, in pixels.
inline constexpr int kCoverWidth = 600;

// What the choices make of a file with this report; a plain plan where nothing
// applies (no sound, one chapter, a cover already there, no video, the sound untouched).
OutputPlan PlanFor(const MediaReport& report, bool splitChapters, bool coverFromVideo, const SoundPlan& sound = {});

// "FOLDER\NAME - 01 TITLE.mp3" beside `named` ("FOLDER\NAME.mp3"); the title
// loses what a file name cannot hold, and the number has as many digits as
// `count` needs, two at least.
std::string PieceOutputPath(std::string_view named, const Piece& piece, int count);

// The transcoder's line for the plan, one output per piece (or one output):
// nothing when an output path is no name a file can have.
std::optional<std::string> PlannedArgsFor(const CheckedPath& input, const std::vector<std::string>& outputs,
                                          Mp3Quality quality, const OutputPlan& plan);

// The line that has the transcoder read the file's header and report it.
std::string ReportArgsFor(const CheckedPath& input);

}  // namespace kv
