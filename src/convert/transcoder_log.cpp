#include "convert/transcoder_log.h"

#include <algorithm>
#include <array>
#include <vector>

#include "app/runner_text.h"
#include "app/texts.h"

namespace kv {

namespace {

bool Has(std::string_view log, std::string_view text) { return log.find(text) != std::string_view::npos; }

// Text to find, searched for in time linear in what is searched (Knuth, Morris
// and Pratt): a report can hold a megabyte on one line, and a path many times.
class Needle {
public:
    explicit Needle(std::string_view text) : text_(text), border_(text.size(), 0) {
        for (std::size_t i = 1, k = 0; i < text_.size(); ++i) {
            while (k > 0 && text_[i] != text_[k]) k = border_[k - 1];
            if (text_[i] == text_[k]) ++k;
            border_[i] = k;
        }
    }
    // Its first place in `hay`.
    [[nodiscard]] std::size_t In(std::string_view hay) const {
        if (text_.empty()) return 0;
        for (std::size_t i = 0, k = 0; i < hay.size(); ++i) {
            while (k > 0 && hay[i] != text_[k]) k = border_[k - 1];
            if (hay[i] == text_[k]) ++k;
            if (k == text_.size()) return i + 1 - k;
        }
        return std::string_view::npos;
    }

private:
    std::string_view text_;
    std::vector<std::size_t> border_;
};

// Lines of the log that name this path, then say what went wrong with it.
bool PathReports(std::string_view log, std::string_view path, std::string_view what) {
    if (path.empty()) return false;
    const Needle named(path), said(what);
    std::size_t begin = 0;
    while (begin < log.size()) {
        const std::size_t end = std::min(log.find_first_of("\r\n", begin), log.size());
        const std::string_view line = log.substr(begin, end - begin);
        const std::size_t at = named.In(line);
        if (at != std::string_view::npos && said.In(line.substr(at)) != std::string_view::npos) return true;
        begin = end + 1;
    }
    return false;
}

// "HH:MM:SS" with an optional fraction, as the transcoder prints times; hours
// may have any number of digits. Nothing for "N/A" or a negative time.
std::optional<double> ClockSeconds(std::string_view s) {
    std::size_t i = 0;
    const auto number = [&](std::size_t minDigits, std::size_t maxDigits) -> std::optional<double> {
        double v = 0;
        std::size_t n = 0;
        for (; i < s.size() && n < maxDigits && s[i] >= '0' && s[i] <= '9'; ++i, ++n) v = v * 10 + (s[i] - '0');
        return n >= minDigits ? std::optional(v) : std::nullopt;
    };
    const std::optional<double> h = number(1, 9);
    if (!h || i >= s.size() || s[i++] != ':') return std::nullopt;
    const std::optional<double> m = number(2, 2);
    if (!m || *m > 59 || i >= s.size() || s[i++] != ':') return std::nullopt;
    const std::optional<double> sec = number(2, 2);
    if (!sec || *sec > 59) return std::nullopt;
    double total = *h * 3600 + *m * 60 + *sec;
    if (i < s.size() && s[i] == '.') {
        double scale = 0.1;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10) total += (s[i] - '0') * scale;
    }
    return total;
}

}  // namespace

bool DamageReported(std::string_view log) {
    // "File ended prematurely": Matroska and WebM, whose cut files end silently otherwise.
    constexpr std::array kMarks{std::string_view("partial file"), std::string_view("corrupt input packet"),
                                std::string_view("Error while decoding stream"),
                                std::string_view("Invalid data found when processing input"),
                                std::string_view("File ended prematurely")};
    for (std::string_view m : kMarks)
        if (Has(log, m)) return true;
    return false;
}

namespace {

// A progress line of the transcoder's own: it begins the line, where a tag's
// text never does (tags are printed indented under their key).
bool IsProgressLine(std::string_view line) { return line.starts_with("size=") || line.starts_with("frame="); }

}  // namespace

std::optional<double> ReachedSeconds(std::string_view log) {
    constexpr std::string_view kMark = "time=";
    std::optional<double> last;
    ForEachLine(log, [&](std::string_view line) {
        if (!IsProgressLine(line)) return;
        const std::size_t at = line.find(kMark);
        if (at == std::string_view::npos) return;
        if (const std::optional<double> t = ClockSeconds(line.substr(at + kMark.size(), 32))) last = t;
    });
    return last;
}

std::optional<double> InputSeconds(std::string_view log) {
    constexpr std::string_view kMark = "  Duration: ";
    std::optional<double> longest;
    bool inFirstInput = false;
    ForEachLine(log, [&](std::string_view line) {
        // The first input's section: its header line, then indented lines only.
        if (line.starts_with("Input #0,"))
            inFirstInput = true;
        else if (!line.starts_with(" "))
            inFirstInput = false;
        if (!inFirstInput || !line.starts_with(kMark)) return;
        // Only a tag's key could forge such a line: the longest one never shortens the input.
        if (const std::optional<double> t = ClockSeconds(line.substr(kMark.size(), 32)))
            longest = std::max(longest.value_or(0.0), *t);
    });
    return longest;
}

namespace {

// "muxing overhead: 0.538021%" or "muxing overhead: unknown", ending the line.
bool EndsWithOverhead(std::string_view line) {
    constexpr std::string_view kMark = " muxing overhead: ";
    const std::size_t at = line.rfind(kMark);
    if (at == std::string_view::npos) return false;
    std::string_view rest = line.substr(at + kMark.size());
    while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
    if (rest == "unknown") return true;
    if (rest.size() < 2 || rest.back() != '%') return false;
    rest.remove_suffix(1);
    if (rest.front() == '-') rest.remove_prefix(1);
    return !rest.empty() && rest.find_first_not_of("0123456789.") == std::string_view::npos;
}

}  // namespace

// The summary is the report's last line, and no tag can print one that ends
// there: a tag's text always follows its key and a ": ".
bool SummaryWritten(std::string_view log) {
    std::string_view last;
    ForEachLine(log, [&](std::string_view line) {
        if (line.find_first_not_of(' ') != std::string_view::npos) last = line;
    });
    // "[out#0/mp3 @ 0x...] video:..." in later versions of the transcoder.
    if (last.starts_with("[out#")) {
        const std::size_t close = last.find("] ");
        last = close == std::string_view::npos ? std::string_view() : last.substr(close + 2);
    }
    return last.starts_with("video:") && EndsWithOverhead(last);
}

bool CoversInput(double reachedSeconds, double inputSeconds) {
    return reachedSeconds >= inputSeconds - std::max(1.0, inputSeconds / 100.0);
}

Failure ClassifyFailure(std::uint32_t exitCode, std::string_view log, std::string_view inputPath,
                        std::string_view outputPath) {
    if (Has(log, "No space left on device") || Has(log, "There is not enough space on the disk"))
        return Failure::DiskFull;
    if (PathReports(log, outputPath, "No such file or directory") ||
        PathReports(log, outputPath, "Permission denied") || PathReports(log, outputPath, "Read-only file system"))
        return Failure::OutputFolder;
    if (PathReports(log, inputPath, "No such file or directory") || PathReports(log, inputPath, "Permission denied"))
        return Failure::InputMissing;
    if (Has(log, "does not contain any stream") || Has(log, "Output file is empty, nothing was encoded") ||
        Has(log, "matches no streams"))
        return Failure::NoAudio;
    if (Has(log, "moov atom not found") || DamageReported(log)) return Failure::Damaged;
    if (exitCode == 0 && !SummaryWritten(log)) return Failure::Ended;
    // Ended normally with no complaint, yet short: the sound itself ends early.
    if (exitCode == 0) return Failure::Damaged;
    return Failure::Unknown;
}

std::string FailureReason(Failure failure) {
    switch (failure) {
    case Failure::None:
        return Tr(TextId::ConvertedReason);
    case Failure::NotStarted:
        return Tr(TextId::NotStartedReason);
    case Failure::Stalled:
        return Tr(TextId::StalledReason);
    case Failure::NoAudio:
        return Tr(TextId::NoAudioReason);
    case Failure::Damaged:
        return Tr(TextId::DamagedReason);
    case Failure::InputMissing:
        return Tr(TextId::InputGoneReason);
    case Failure::OutputFolder:
        return Tr(TextId::OutputFolderReason);
    case Failure::DiskFull:
        return Tr(TextId::DiskFullReason);
    case Failure::Ended:
        return Tr(TextId::EndedReason);
    case Failure::InputIsOutput:
        return Tr(TextId::SameFileReason);
    case Failure::SourceFolder:
        return Tr(TextId::BesideReason);
    case Failure::NotMeasured:
        return Tr(TextId::NotMeasuredReason);
    case Failure::OutputLocked:
        return Tr(TextId::NotSavedReason);
    case Failure::Unknown:
        break;
    }
    return Tr(TextId::UnknownReason);
}

std::string FailureMessage(std::string_view inputPath, Failure failure) {
    return Tr(TextId::FailedMessage, {FileNamePart(inputPath), FailureReason(failure)});
}

}  // namespace kv
