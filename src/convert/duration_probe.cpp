#include "convert/duration_probe.h"

#include "app/texts.h"
#include "app/media_kinds.h"
#include "app/runner_text.h"
#include "convert/job_rules.h"
#include "win/long_path.h"
#include "win/error.h"

namespace kv {

namespace {

bool IsPlainAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Other letters, more than the classic length and "%" signs (doubled in the
// batch text, yet expanded again by some interpreters when a value holds
// several) all put a path at risk; the higher, the worse.
int Risk(const std::string& p) {
    int r = IsPlainAscii(p) ? 0 : 1000;
    if (p.size() >= LongPathFrom(PathFor::File)) r += 100;
    for (char c : p) r += c == '%' ? 1 : 0;
    return r;
}

Error CannotOpen(const std::string& path, const std::string& why) {
    return Error(Tr(TextId::CannotOpenFile, {path, why}));
}

}  // namespace

DurationProbe::DurationProbe(IProbePlatform& platform, const std::string& tempDir, const std::string& mediaInfoPath,
                             int slot)
    : platform_(platform),
      tempDir_(tempDir),
      mediaInfoPath_(mediaInfoPath),
      batName_(ProbeBatchName(slot)),
      answerName_(ProbeAnswerName(slot)) {}

// Paths reach the tool through the batch file (console code page) and the
// tool's own ANSI command line; the short form, which the system keeps in plain
// ASCII, is used whenever it is the safer of the two.
std::string DurationProbe::PathForm(const std::string& path) const {
    const int pathRisk = Risk(path);
    if (pathRisk == 0) return path;
    std::string shortForm = platform_.ShortName(path);
    return Risk(shortForm) < pathRisk ? shortForm : path;
}

std::string DurationProbe::DirectArgs(const CheckedPath& path) {
    return std::string(LengthNeedsWholeFile(path.Text()) ? "--ParseSpeed=1 " : "") +
           "--Inform=General;%Duration/String3% " + QuoteAlways(ExtendedLengthPath(path.Text()));
}

// Now and then the media reader answers nothing for a file it reads fine a
// moment later; a second run tells a passing failure from an unreadable file.
// A run that had to be ended for its time is not repeated.
template <class RunOnce>
std::string DurationProbe::Ask(const std::string& answerPath, RunOnce run) {
    std::string answer;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        platform_.DeleteFile(answerPath);
        const bool timedOut = run();
        std::string why;
        std::optional<std::string> read = platform_.ReadFile(answerPath, why);
        if (!read) {
            if (timedOut || attempt + 1 == kAttempts) throw CannotOpen(answerPath, why);
            continue;
        }
        answer = std::move(*read);
        if (FirstLine(answer) || timedOut) break;
    }
    return answer;
}

std::optional<std::string> DurationProbe::Answer(const CheckedPath& path) {
    // Only a reader this program wrote and checked is run.
    if (mediaInfoPath_.empty()) throw Error(Tr(TextId::NoToolsMessage));
    const std::string batPath = tempDir_ + batName_;
    const std::string answerPath = tempDir_ + answerName_;
    platform_.ShowProbeText("");

    const std::string input = PathForm(path.Text()), folder = PathForm(tempDir_);
    const auto text = ProbeBatchText(input, folder + answerName_, mediaInfoPath_, LengthNeedsWholeFile(path.Text()));
    std::string bytes;
    const bool viaBatch =
        !AlwaysDirect && text && Risk(input) == 0 && Risk(folder) == 0 && platform_.ToConsoleCodePage(*text, bytes);

    std::string answer;
    if (viaBatch) {
        platform_.ShowProbeText(*text);
        platform_.WriteFile(batPath, bytes);
        answer = Ask(answerPath, [&] { return platform_.RunBatch(batPath, TimeLimitMs); });
        platform_.DeleteFile(batPath);
    } else {
        const std::string args = DirectArgs(path);
        platform_.ShowProbeText(mediaInfoPath_ + " " + args);
        answer = Ask(answerPath, [&] { return platform_.RunReader(mediaInfoPath_, args, answerPath, TimeLimitMs); });
    }
    platform_.ShowProbeText(answer);
    platform_.DeleteFile(answerPath);
    return FirstLine(answer);
}

}  // namespace kv
