#include "convert/media_plan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/runner_text.h"
#include "convert/job_rules.h"
#include "convert/transcoder_log.h"

namespace kv {

namespace {

std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        if (end != 0) lines.push_back(text.substr(0, end));  // CR LF ends one line
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<double> NumberAt(std::string_view s) {
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<int> IndexAt(std::string_view s) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || v < 0) return std::nullopt;
    return v;
}

// A stream's line: exactly two blanks in. A tag's text of several lines comes
// back indented deeper and after a colon, so it cannot pass for one.
void ReadStream(std::string_view line, MediaReport& r, std::optional<int>& firstAudio) {
    constexpr std::string_view kStream = "  Stream #0:";
    const std::optional<int> index = IndexAt(line.substr(kStream.size()));
    if (!index) return;
    // The language, before the kind, is the file's text: the marks are read after it.
    for (const std::string_view kind : {": Audio: ", ": Video: "}) {
        const std::size_t at = line.find(kind);
        if (at == std::string_view::npos) continue;
        const std::string_view rest = line.substr(at + kind.size());
        if (kind == ": Video: ") {
            (rest.find(" (attached pic)") != std::string_view::npos ? r.coverPicture : r.movingVideo) = true;
        } else {
            if (!firstAudio) firstAudio = index;
            if (!r.audioStream && rest.find(" (default)") != std::string_view::npos) r.audioStream = index;
        }
        return;
    }
}

// "    Chapter #0:1: start 20.000000, end 45.000000"
std::optional<double> ChapterStart(std::string_view line) {
    const std::size_t at = line.find(": start ");
    if (at == std::string_view::npos) return std::nullopt;
    return NumberAt(line.substr(at + 8));
}

}  // namespace

MediaReport ReadMediaReport(std::string_view log) {
    MediaReport r;
    std::optional<int> firstAudio;
    bool inInput = false;
    for (const std::string_view line : LinesOf(log)) {
        if (line.starts_with("Input #")) {
            inInput = line.starts_with("Input #0,");
            continue;
        }
        if (!inInput) continue;
        if (!line.starts_with("  ")) {
            inInput = false;
        } else if (line.starts_with("  Stream #0:")) {
            ReadStream(line, r, firstAudio);
        } else if (line.starts_with("    Chapter #0:")) {
            if (const auto start = ChapterStart(line)) r.chapters.push_back({*start, {}});
        } else if (line.starts_with("        title ") && !r.chapters.empty() && r.chapters.back().title.empty()) {
            const std::size_t colon = line.find(": ");
            if (colon != std::string_view::npos) r.chapters.back().title = std::string(line.substr(colon + 2));
        }
    }
    if (!r.audioStream) r.audioStream = firstAudio;
    r.seconds = InputSeconds(log);
    return r;
}

namespace {

constexpr double kLongestSeconds = 1e9;

std::vector<Piece> PiecesOf(const MediaReport& report) {
    std::vector<Chapter> chapters = report.chapters;
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const Chapter& a, const Chapter& b) { return a.start < b.start; });
    std::vector<Piece> pieces;
    for (const Chapter& c : chapters) {
        // A start no sound reaches (past the end, or past any length a file has) is no border.
        if (!(c.start >= 0 && c.start < kLongestSeconds) || (report.seconds && c.start >= *report.seconds)) continue;
        const auto border = static_cast<std::int64_t>(std::llround(c.start * kSampleRate));
        // The sound before the first chapter belongs to it; a chapter of no length is none.
        if (pieces.empty()) {
            pieces.push_back({0, std::nullopt, 1, c.title});
        } else if (border > pieces.back().from) {
            pieces.back().to = border;
            pieces.push_back({border, std::nullopt, static_cast<int>(pieces.size()) + 1, c.title});
        }
    }
    if (pieces.size() < 2) pieces.clear();
    return pieces;
}

}  // namespace

OutputPlan PlanFor(const MediaReport& report, bool splitChapters, bool coverFromVideo, const SoundPlan& sound) {
    OutputPlan plan;
    if (!report.audioStream) return plan;  // the plain line names the missing sound
    plan.sound = sound;
    if (splitChapters) plan.pieces = PiecesOf(report);
    if (coverFromVideo && report.movingVideo && !report.coverPicture && report.seconds)
        plan.coverAt = *report.seconds / 10;
    if (!plan.Plain()) plan.audioStream = report.audioStream;
    return plan;
}

namespace {

// What a file name cannot hold goes: control characters, and the reserved ones become "_".
std::string NamePiece(std::string_view title) {
    std::string out;
    for (const char c : title) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) continue;
        out += std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos ? c : '_';
    }
    const std::size_t first = out.find_first_not_of(" .");
    if (first == std::string::npos) return {};
    const std::size_t last = out.find_last_not_of(" .");
    return out.substr(first, last - first + 1);
}

// A tag's text keeps everything but control characters.
std::string TagText(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
    return out;
}

std::string NumberText(int number, int count) {
    const int digits = std::max(2, static_cast<int>(std::to_string(std::max(count, 1)).size()));
    std::string n = std::to_string(number);
    return std::string(static_cast<std::size_t>(std::max(0, digits - static_cast<int>(n.size()))), '0') + n;
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::max(seconds, 0.0));
    return text;
}

}  // namespace

std::string PieceOutputPath(std::string_view named, const Piece& piece, int count) {
    std::string stem(named);
    if (stem.size() >= 4 && SameTextAscii(std::string_view(stem).substr(stem.size() - 4), ".mp3"))
        stem.resize(stem.size() - 4);
    const std::string title = NamePiece(piece.title);
    return stem + " - " + NumberText(piece.number, count) + (title.empty() ? "" : " " + title) + ".mp3";
}

namespace {

std::string SplitGraph(int audioStream, const std::vector<Piece>& pieces, const std::string& sound) {
    std::string g = "[0:" + std::to_string(audioStream) + "]aresample=" + std::to_string(kSampleRate) +
                    (sound.empty() ? "" : "," + sound) + ",asplit=" + std::to_string(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) g += "[s" + std::to_string(i) + "]";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        g += ";[s" + std::to_string(i) + "]atrim=start_sample=" + std::to_string(p.from);
        if (p.to) g += ":end_sample=" + std::to_string(*p.to);
        g += ",asetpts=PTS-STARTPTS[a" + std::to_string(i) + "]";
    }
    return g;
}

std::string CoverOutput() {
    const std::string scale = "scale=w='min(" + std::to_string(kCoverWidth) + ",iw)':h=-2,format=yuvj420p";
    return " -map 1:V:0 -frames:v 1 -vf " + QuoteAlways(scale) + " -c:v mjpeg -q:v 3";
}

}  // namespace

std::optional<std::string> PlannedArgsFor(const CheckedPath& input, const std::vector<std::string>& outputs,
                                          Mp3Quality quality, const OutputPlan& plan) {
    if (plan.Plain() || !plan.audioStream)
        return outputs.size() == 1 ? FfmpegArgsFor(input, outputs[0], quality) : std::nullopt;
    const std::size_t count = std::max<std::size_t>(plan.pieces.size(), 1);
    if (outputs.size() != count) return std::nullopt;
    for (const std::string& out : outputs)
        if (!IsOutputPath(out)) return std::nullopt;
    const std::string in = QuoteAlways(input.Text());
    std::string line = " -discard:V all -i " + in;
    // The frame's input reads a second of the video from the chosen point, so no more of it is decoded.
    if (plan.coverAt) line += " -ss " + SecondsText(*plan.coverAt) + " -t 1 -i " + in;
    line += " -y -deinterlace";
    const std::string sound = SoundFilter(plan.sound);
    if (!plan.pieces.empty())
        line += " -filter_complex " + QuoteAlways(SplitGraph(*plan.audioStream, plan.pieces, sound));
    const std::string tail = " -ar 44100 " + std::string(QualityArguments(quality)) + " -ac 2 -f mp3 ";
    for (std::size_t i = 0; i < count; ++i) {
        if (plan.pieces.empty()) {
            line += " -map 0:" + std::to_string(*plan.audioStream);
            if (!sound.empty()) line += " -af " + QuoteAlways(sound);
        } else {
            const Piece& p = plan.pieces[i];
            line += " -map [a" + std::to_string(i) + "] -map_chapters -1 -metadata " +
                    QuoteAlways("track=" + std::to_string(p.number) + "/" + std::to_string(count));
            if (!TagText(p.title).empty()) line += " -metadata " + QuoteAlways("title=" + TagText(p.title));
        }
        for (const auto& [key, value] : plan.sound.tags) {
            std::string tag = key;
            tag.append("=").append(value);
            line.append(" -metadata ").append(QuoteAlways(tag));
        }
        if (plan.coverAt) line += CoverOutput();
        line += tail + QuoteAlways(outputs[i]);
    }
    return line;
}

std::string ReportArgsFor(const CheckedPath& input) { return " -i " + QuoteAlways(input.Text()); }

}  // namespace kv
