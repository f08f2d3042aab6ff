#include "convert/job_rules.h"

#include <cstdio>

#include "app/runner_text.h"
#include "app/texts.h"
#include "win/utf8.h"

namespace kv {

std::string BadFolderFileMessage(std::string_view fileNameWithExtension) {
    return Tr(TextId::BadFileMessage, {fileNameWithExtension});
}

std::string DisplayName(std::string_view path) { return NamePart(FileNamePart(path)); }

ListClick ListClickRule(int x, const std::array<int, 4>& w, JobState state) {
    const int c1 = w[0], c2 = w[0] + w[1], c3 = c2 + w[2], c4 = c3 + w[3];
    if (x > c4 && state == JobState::Pending) return ListClick::RemovePending;
    if (c3 < x && x < c4 && state == JobState::Done) return ListClick::OpenOutputFolder;
    if (c2 < x && x < c3 && state == JobState::Failed) return ListClick::ShowFailure;
    if (c1 < x && x < c2) return ListClick::OpenInputFile;
    return ListClick::None;
}

namespace {

std::string DoublePercents(std::string_view s) {
    std::string out;
    for (char c : s) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

bool BatchCanCarry(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '!') return false;
    return !s.empty();
}

}  // namespace

// A blank output folder must not send the MP3 to a drive's root.
bool IsOutputPath(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == '"') return false;
    const bool drive = s.size() >= 3 && s[1] == ':' && s[2] == '\\';
    return drive || s.starts_with("\\\\");
}

std::optional<std::string> ProbeBatchText(std::string_view inputPath, std::string_view answerPath,
                                          std::string_view mediaInfoPath, bool readWhole) {
    if (!BatchCanCarry(inputPath) || !BatchCanCarry(answerPath) || !BatchCanCarry(mediaInfoPath)) return std::nullopt;
    std::string t;
    t += "set filein=\"" + DoublePercents(inputPath) + "\"\r\n";
    t += "set fileout=\"" + DoublePercents(answerPath) + "\"\r\n";
    t += "set mediainfo=\"" + DoublePercents(mediaInfoPath) + "\"\r\n";
    t += readWhole ? "%mediainfo% --ParseSpeed=1 --Inform=General;%%Duration/String3%% %filein% > %fileout%\r\n"
                   : "%mediainfo% --Inform=General;%%Duration/String3%% %filein% > %fileout%\r\n";
    return t;
}

std::optional<std::string> FirstLine(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const auto end = text.find_first_of("\r\n");
    return std::string(text.substr(0, end));
}

int StoredDuration(std::string_view firstLine) { return TimeTextToSeconds(firstLine) + 1; }

namespace {

std::string_view WithoutSeparator(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '\\') folder.remove_suffix(1);
    return folder;
}

}  // namespace

std::string TreePlaceOf(std::string_view addedFolder, std::string_view file) {
    const std::string_view root = WithoutSeparator(addedFolder);
    const std::string own = FileNamePart(root);
    const std::size_t cut = file.rfind('\\');
    std::string_view between;
    if (cut != std::string_view::npos && cut > root.size() && file.substr(0, root.size()) == root &&
        file[root.size()] == '\\')
        between = file.substr(root.size() + 1, cut - root.size() - 1);
    if (own.empty() || own.find(':') != std::string::npos) return std::string(between);  // a drive's root has no name
    return between.empty() ? own : own + "\\" + std::string(between);
}

std::string OutputFolderFor(std::string_view workDir, std::string_view subfolder, std::string_view input, bool beside) {
    if (beside) return std::string(WithoutSeparator(FolderPart(input)));
    std::string folder(WithoutSeparator(workDir));
    if (!subfolder.empty()) folder += "\\" + std::string(subfolder);
    return folder;
}

std::string OutputPathFor(std::string_view workDir, std::string_view inputPath) {
    std::string name = FileNamePart(inputPath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    name += ".mp3";
    return TrimText(std::string(workDir) + "\\" + name);
}

std::optional<std::string> FfmpegArgsFor(const CheckedPath& input, std::string_view outputPath, Mp3Quality quality) {
    if (!IsOutputPath(outputPath)) return std::nullopt;
    // Pictures are converted (a cover), moving video is never read.
    return " -discard:V all -i " + QuoteAlways(input.Text()) + " -y -deinterlace -ar 44100 " +
           std::string(QualityArguments(quality)) + " -ac 2 -f mp3 " + QuoteAlways(outputPath);
}

std::string PartialOutputPath(std::string_view finalPath, std::string_view tag) {
    const std::size_t cut = finalPath.rfind('\\');
    const std::string_view folder = finalPath.substr(0, cut == std::string_view::npos ? 0 : cut + 1);
    const std::string_view name = finalPath.substr(folder.size());
    const std::string suffix = "." + std::string(tag) + ".korvello-part";
    // A name near the volume's limit gives way to one made of the tag alone.
    if (Utf16Length(name) + suffix.size() > kMaxPartialNameUnits) return std::string(folder) + "~korvello" + suffix;
    return std::string(folder).append(name).append(suffix);
}

std::string PartTagText(const PartTag& tag) {
    char text[80];
    std::snprintf(text, sizeof text, "%08lx-%lx-%llx-%lld", static_cast<unsigned long>(tag.host),
                  static_cast<unsigned long>(tag.pid), static_cast<unsigned long long>(tag.started),
                  static_cast<long long>(tag.job));
    return text;
}

std::uint32_t HostTag(std::string_view computerName) {
    std::uint32_t h = 2166136261u;
    for (const char c : computerName) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h == 0 ? 1 : h;
}

namespace {

// Digits of one base only, at most `most` of them, as a number.
std::optional<std::uint64_t> NumberOf(std::string_view s, int base, std::size_t most) {
    if (s.empty() || s.size() > most) return std::nullopt;
    std::uint64_t v = 0;
    for (const char c : s) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        if (d < 0) return std::nullopt;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    return v;
}

std::vector<std::string_view> SplitOn(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = s.find(sep, from);
        parts.push_back(s.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

}  // namespace

std::optional<PartTag> PartTagOf(std::string_view fileName) {
    constexpr std::string_view kEnd = ".korvello-part";
    if (!fileName.ends_with(kEnd)) return std::nullopt;
    fileName.remove_suffix(kEnd.size());
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::nullopt;
    // HOST-PID-STARTED-JOB, then -N where that name was taken.
    const std::vector<std::string_view> parts = SplitOn(fileName.substr(dot + 1), '-');
    if (parts.size() != 4 && parts.size() != 5) return std::nullopt;
    const auto host = parts[0].size() == 8 ? NumberOf(parts[0], 16, 8) : std::nullopt;
    const auto pid = NumberOf(parts[1], 16, 8);
    const auto started = NumberOf(parts[2], 16, 16);
    const auto job = NumberOf(parts[3], 10, 18);
    if (parts.size() == 5 && !NumberOf(parts[4], 10, 4)) return std::nullopt;
    if (!host || !pid || !started || !job || *host == 0 || *pid == 0) return std::nullopt;
    return PartTag{static_cast<std::uint32_t>(*host), static_cast<std::uint32_t>(*pid), *started,
                   static_cast<std::int64_t>(*job)};
}

std::vector<std::string> PartFoldersFrom(std::string_view stored) {
    std::vector<std::string> folders;
    for (const std::string_view f : SplitOn(stored, '|'))
        if (!f.empty() && IsUsableFolderSetting(f) && folders.size() < kMaxPartFolders) folders.emplace_back(f);
    return folders;
}

std::string WithPartFolder(std::string_view stored, const std::string& folder) {
    std::string out = folder;
    std::size_t kept = 1;
    for (const std::string& f : PartFoldersFrom(stored))
        if (!SameTextAscii(f, folder) && kept++ < kMaxPartFolders) out += "|" + f;
    return out;
}

std::int64_t PercentOf(std::int64_t size, std::int64_t expected) {
    if (expected <= 0) return 0;
    return static_cast<std::int64_t>(static_cast<long double>(size) * 100.0L / static_cast<long double>(expected));
}

std::string PercentText(std::int64_t percent) { return Tr(TextId::PercentState, {std::to_string(percent)}); }

namespace {

// The folder (with its "\\"), the stem and the extension (with its dot) of a path.
struct NameParts {
    std::string folder, stem, ext;
};

NameParts Split(const std::string& path) {
    const std::size_t cut = path.rfind('\\');
    const std::size_t nameAt = cut == std::string::npos ? 0 : cut + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameAt) dot = path.size();
    return {path.substr(0, nameAt), path.substr(nameAt, dot - nameAt), path.substr(dot)};
}

// Drops whole characters from the stem's end until it has at most `units`.
std::string ShortenStem(std::string stem, std::size_t units) {
    while (!stem.empty() && Utf16Length(stem) > units) {
        std::size_t at = stem.size() - 1;
        while (at > 0 && (static_cast<unsigned char>(stem[at]) & 0xC0) == 0x80) --at;
        stem.erase(at);
    }
    // A name may not end in a blank or a dot: Windows would drop them.
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
    return stem;
}

}  // namespace

std::string FitName(const std::string& path, std::size_t reserve) {
    const NameParts p = Split(path);
    const std::size_t fixed = Utf16Length(p.ext) + reserve;
    if (Utf16Length(p.stem) + fixed <= kMaxNameUnits) return path;
    return p.folder + ShortenStem(p.stem, fixed < kMaxNameUnits ? kMaxNameUnits - fixed : 0) + p.ext;
}

std::string FreeOutputPath(const std::string& candidate, const std::function<bool(const std::string&)>& taken) {
    std::string first = FitName(candidate);
    if (!taken(first)) return first;
    const NameParts p = Split(candidate);
    // Bounded: a file system that says every name exists must not hang the run.
    for (int n = 2; n < 100000; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        std::string next = FitName(p.folder + p.stem + p.ext, suffix.size());
        next.insert(next.size() - p.ext.size(), suffix);
        if (!taken(next)) return next;
    }
    return first;
}

}  // namespace kv
