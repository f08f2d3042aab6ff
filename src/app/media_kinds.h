#pragma once
// The files Korvello takes: video and audio containers, told by their
// extension. The name only makes a file a candidate; whether it is taken is
// up to the media reader, which must find its length.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Extensions without the dot, lower case; "mp4" first, as the file dialog's first entry names it.
inline constexpr std::array<std::string_view, 33> kMediaExtensions = {
    "mp4", "m4v",  "mov",  "3gp", "3g2", "mkv",  "webm", "mka", "ts",  "mts", "m2ts",
    "avi", "flv",  "wmv",  "asf", "mpg", "mpeg", "vob",  "ogv", "m4a", "m4b", "wma",
    "ogg", "opus", "flac", "wav", "aac", "ac3",  "eac3", "dts", "amr", "w64", "mp2",
};

// The file's kind as the list's Type column shows it ("MP4", "MKV" ...);
// nothing for a name Korvello does not take (an MP3 among them: its output
// would take the source's own name).
std::optional<std::string> MediaKindOf(std::string_view path);
inline bool IsMediaName(std::string_view path) { return MediaKindOf(path).has_value(); }

// A raw AAC stream (ADTS) tells its length only to a reader that reads it to the end.
bool LengthNeedsWholeFile(std::string_view path);

// The file dialog's filter: "MP4 Files|*.mp4|Video and audio files|*.mp4;*.m4v;...|All files|*.*".
std::string MediaDialogFilter();

}  // namespace kv
