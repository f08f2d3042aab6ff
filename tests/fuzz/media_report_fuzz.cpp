// A file's report of any content, as its own texts could shape it: the plan
// made of it cuts the sound into pieces that meet and cover it, every piece's
// name stays one file name in the output folder, and the line still carries
// exactly its outputs, each where the transcoder's C run-time reads it.
#include <algorithm>
#include <cmath>

#include "convert/loudness.h"
#include "convert/media_plan.h"
#include "fuzz_util.h"
#include "support/argv_rules.h"
#include "support/checked.h"

namespace {

void CheckPieces(const std::vector<kv::Piece>& pieces, std::string_view report) {
    if (pieces.empty()) return;
    kvfuzz::Require(pieces.size() >= 2, "a split makes two MP3s at least", report);
    kvfuzz::Require(pieces.front().from == 0 && !pieces.back().to, "the pieces cover the sound", report);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        kvfuzz::Require(pieces[i].number == static_cast<int>(i) + 1, "numbered in order", report);
        if (i + 1 < pieces.size())
            kvfuzz::Require(pieces[i].to == pieces[i + 1].from && *pieces[i].to > pieces[i].from,
                            "each piece ends where the next begins", report);
    }
}

void CheckNames(const std::vector<kv::Piece>& pieces, std::string_view report) {
    constexpr std::string_view kFolder = "C:\\Out\\";
    for (const kv::Piece& p : pieces) {
        const std::string path = kv::PieceOutputPath("C:\\Out\\Film.mp3", p, static_cast<int>(pieces.size()));
        kvfuzz::Require(path.starts_with(kFolder) && path.ends_with(".mp3"), "a name in the folder", path);
        const std::string_view name = std::string_view(path).substr(kFolder.size());
        for (const char c : name)
            kvfuzz::Require(static_cast<unsigned char>(c) >= 0x20 &&
                                std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos,
                            "no character a file name cannot hold", path);
    }
    (void)report;
}

// Whatever the summary says, the gain is a number the line can carry and the
// tags are numbers: silence keeps its level, the limiter stays within its range.
void CheckSound(const kv::SoundPlan& sound, const kv::LoudnessMeasure& m, std::string_view report) {
    kvfuzz::Require(std::isfinite(sound.gainDb) && sound.gainDb > -60 && sound.gainDb < 110, "a gain in range", report);
    if (m.integrated <= kv::kSilenceLufs) kvfuzz::Require(sound.Untouched(), "silence stays silence", report);
    if (sound.limitDb) kvfuzz::Require(*sound.limitDb <= kv::kTruePeakCeiling, "the limiter under the ceiling", report);
    for (const auto& [key, value] : sound.tags)
        kvfuzz::Require(key.starts_with("REPLAYGAIN_TRACK_") &&
                            value.find_first_not_of("+-.0123456789 dB") == std::string::npos && value.size() < 24,
                        "a tag of numbers", value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string report = kvfuzz::Text(data + 1, size - 1);
    const kv::MediaReport r = kv::ReadMediaReport(report);
    kv::SoundPlan sound;
    if (const auto measured = kv::ReadLoudness(report)) {
        const int target = kv::kLowestLoudnessTarget + data[0] % 27;
        sound = data[0] & 4 ? kv::ReplayGainPlan(*measured) : kv::R128Plan(*measured, target);
        CheckSound(sound, *measured, report);
    }
    const kv::OutputPlan plan = kv::PlanFor(r, data[0] & 1, data[0] & 2, sound);
    CheckPieces(plan.pieces, report);
    CheckNames(plan.pieces, report);
    if (plan.coverAt) kvfuzz::Require(*plan.coverAt >= 0 && r.movingVideo && !r.coverPicture, "a cover only so");

    std::vector<std::string> outs;
    for (std::size_t i = 0; i < std::max<std::size_t>(plan.pieces.size(), 1); ++i)
        outs.push_back("C:\\Out\\p " + std::to_string(i) + ".part");
    const auto line = kv::PlannedArgsFor(kvtest::Checked("C:\\in\\a b.mp4"), outs, kv::Mp3Quality::Kbps128, plan);
    kvfuzz::Require(line.has_value(), "a plan always has a line", report);
    const std::vector<std::string> argv = kvtest::ArgvOf("ffmpeg.exe" + *line);
    for (const std::string& out : outs)
        kvfuzz::Require(std::count(argv.begin(), argv.end(), out) == 1, "each output once, whole", *line);
    kvfuzz::Require(argv.back() == outs.back(), "the line ends with the last output", *line);
    const auto fmts = std::count(argv.begin(), argv.end(), std::string("-f"));
    kvfuzz::Require(static_cast<std::size_t>(fmts) == outs.size(), "no title adds an output", *line);
    return 0;
}
