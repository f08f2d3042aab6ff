#include "convert/transcoder_log.h"

#include <array>

#include "app/runner_text.h"

namespace kv {

namespace {

bool Has(std::string_view log, std::string_view text) { return log.find(text) != std::string_view::npos; }

// Lines of the log that name this path, then say what went wrong with it.
bool PathReports(std::string_view log, std::string_view path, std::string_view what) {
    if (path.empty()) return false;
    std::size_t at = 0;
    while ((at = log.find(path, at)) != std::string_view::npos) {
        const std::size_t end = log.find_first_of("\r\n", at);
        if (log.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at).find(what) !=
            std::string_view::npos)
            return true;
        at += path.size();
    }
    return false;
}

}  // namespace

bool DamageReported(std::string_view log) {
    constexpr std::array kMarks{std::string_view("partial file"), std::string_view("corrupt input packet"),
                                std::string_view("Error while decoding stream"),
                                std::string_view("Invalid data found when processing input")};
    for (std::string_view m : kMarks)
        if (Has(log, m)) return true;
    return false;
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
    // Ended normally with no complaint, yet short: the sound itself ends early.
    if (exitCode == 0) return Failure::Damaged;
    return Failure::Unknown;
}

std::string FailureReason(Failure failure) {
    switch (failure) {
    case Failure::None:
        return "The file was converted.";
    case Failure::NotStarted:
        return "The converter could not be started.";
    case Failure::Stalled:
        return "The converter stopped responding and was ended.";
    case Failure::NoAudio:
        return "The file has no audio track: there is no sound to convert.";
    case Failure::Damaged:
        return "The file is damaged or cut short.";
    case Failure::InputMissing:
        return "The file could not be opened: it was moved, deleted or is locked.";
    case Failure::OutputFolder:
        return "The output folder is missing or cannot be written to.";
    case Failure::DiskFull:
        return "The disk is full.";
    case Failure::Unknown:
        break;
    }
    return "The converter could not convert this file.";
}

std::string FailureMessage(std::string_view inputPath, Failure failure) {
    return "\"" + FileNamePart(inputPath) + "\" could not be converted.\n\n" + FailureReason(failure);
}

}  // namespace kv
