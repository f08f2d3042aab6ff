// The two command lines and the batch file's text, each read back as its
// reader reads it, must name exactly what they were given.
#include <algorithm>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/runner_text.h"
#include "convert/choices.h"
#include "convert/duration_probe.h"
#include "convert/job_rules.h"
#include "fuzz_util.h"
#include "support/argv_rules.h"
#include "support/checked.h"
#include "win/long_path.h"
#include "win/utf8.h"

namespace {

// Any arguments (zeros end them), each quoted, read back one by one.
void ArgumentsComeBack(const std::vector<std::string>& args) {
    std::string params;
    for (const auto& a : args) params += " " + kv::QuoteArgument(a);
    const auto line = kv::BuildCommandLine("C:\\K\\tool.exe", params);
    kvfuzz::Require(line.has_value(), "a plain program always has a line");
    std::vector<std::string> want{"C:\\K\\tool.exe"};
    want.insert(want.end(), args.begin(), args.end());
    kvfuzz::Require(kvtest::ArgvOf(*line) == want, "each argument comes back whole", *line);
}

// "set name="value"" with %% read back as %.
std::string SetValue(const std::string& line, const std::string& name) {
    const std::string head = "set " + name + "=\"";
    kvfuzz::Require(line.starts_with(head) && line.ends_with("\""), "a set line", line);
    const std::string v = line.substr(head.size(), line.size() - head.size() - 1);
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        out += v[i];
        if (v[i] == '%') {
            kvfuzz::Require(i + 1 < v.size() && v[i + 1] == '%', "every % doubled", line);
            ++i;
        }
    }
    return out;
}

void BatchNamesExactly(const std::string& input, const std::string& answer, const std::string& reader) {
    const auto text = kv::ProbeBatchText(input, answer, reader);
    if (!text) return;
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text->find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text->substr(from, at - from));
    kvfuzz::Require(from == text->size() && lines.size() == 4, "four whole lines", *text);
    for (const auto& l : lines)
        for (char c : l) kvfuzz::Require(static_cast<unsigned char>(c) >= 0x20 && c != '!', "nothing cmd acts on", l);
    kvfuzz::Require(SetValue(lines[0], "filein") == input, "the input exactly", *text);
    kvfuzz::Require(SetValue(lines[1], "fileout") == answer, "the answer file exactly", *text);
    kvfuzz::Require(SetValue(lines[2], "mediainfo") == reader, "the reader exactly", *text);
    kvfuzz::Require(lines[3] == "%mediainfo% --Inform=General;%%Duration/String3%% %filein% > %fileout%",
                    "the fixed command", *text);
    // Inside the quotes nothing else may end the quoted text.
    kvfuzz::Require(std::count(lines[0].begin(), lines[0].end(), '"') == 2, "one pair of quotes", lines[0]);
}

// The words a quality puts between "-ar 44100" and "-ac 2".
std::vector<std::string> QualityWords(kv::Mp3Quality q) {
    std::vector<std::string> words;
    const std::string text(kv::QualityArguments(q));
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(' ', from)) != std::string::npos; from = at + 1)
        words.push_back(text.substr(from, at - from));
    words.push_back(text.substr(from));
    return words;
}

void TranscoderLineNamesExactly(const std::string& input, const std::string& output) {
    kvtest::FakeFileSystem fs;
    fs.files.insert(input);
    const auto found = kv::CheckPath(input, fs);
    if (!found) return;
    const kv::CheckedPath& checked = *found;
    // Every quality's line: the same two files, the quality's own words.
    for (const kv::Mp3Quality q : kv::AllQualities()) {
        const auto args = kv::FfmpegArgsFor(checked, output, q);
        if (!args) return;
        const auto line = kv::BuildCommandLine("C:\\K\\FFMPEG~1.EXE", *args);
        kvfuzz::Require(line.has_value(), "the transcoder's line is built");
        std::vector<std::string> want{"C:\\K\\FFMPEG~1.EXE", "-discard:V", "all",  "-i", checked.Text(), "-y",
                                      "-deinterlace",        "-ar",        "44100"};
        for (const std::string& w : QualityWords(q)) want.push_back(w);
        for (const char* w : {"-ac", "2", "-f", "mp3"}) want.emplace_back(w);
        want.push_back(output);
        kvfuzz::Require(kvtest::ArgvOf(*line) == want, "the transcoder gets exactly its two files", *line);
    }
    const auto direct = kv::BuildCommandLine("C:\\K\\mediainfo.exe", kv::DurationProbe::DirectArgs(checked));
    const auto argv = kvtest::ArgvOf(direct.value());
    kvfuzz::Require(argv.size() == 3 && argv[1] == "--Inform=General;%Duration/String3%" &&
                        argv[2] == kv::ExtendedLengthPath(checked.Text()),
                    "the reader gets exactly its file", *direct);
}

// Explorer's menu entry puts a selected item into "...korvello.exe" /convert "%1":
// the program must read back the switch and exactly that item. (Windows names
// hold no quote, and Explorer gives full paths, folders without a final backslash.)
void VerbLineGivesItsItem(const std::string& item) {
    if (item.empty() || item.find('"') != std::string::npos || item.back() == '\\') return;
    if (kv::SameTextAscii(item, kv::kConvertSwitch)) return;  // Explorer gives full paths only
    const std::string line =
        "\"C:\\Users\\a b\\AppData\\Local\\Programs\\Korvello\\korvello.exe\" /convert \"" + item + "\"";
    std::vector<std::string> argv = kvtest::ArgvOf(line);
    kvfuzz::Require(argv.size() == 3, "program, switch, item", line);
    argv.erase(argv.begin());
    const kv::CommandLine parsed = kv::ParseCommandLine(argv);
    kvfuzz::Require(parsed.convert && parsed.paths == std::vector<std::string>{item}, "the switch and the item", line);
}

// Whatever the parameters, each is either the switch or a path, in order.
void ParametersAreKept(const std::vector<std::string>& params) {
    const kv::CommandLine parsed = kv::ParseCommandLine(params);
    std::vector<std::string> paths;
    for (const auto& p : params)
        if (!kv::SameTextAscii(p, kv::kConvertSwitch)) paths.push_back(p);
    kvfuzz::Require(parsed.paths == paths, "every other parameter is a path, in order");
    kvfuzz::Require(parsed.convert == (paths.size() != params.size()), "the switch seen where it stands");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = kvfuzz::SplitAtZeros(kvfuzz::Text(data, size));
    ArgumentsComeBack(parts);
    const std::string& a = parts[0];
    const std::string b = parts.size() > 1 ? parts[1] : "C:\\T\\duration_time.txt";
    const std::string c = parts.size() > 2 ? parts[2] : "C:\\K\\MEDIAI~1.EXE";
    BatchNamesExactly(a, b, c);
    TranscoderLineNamesExactly(a, parts.size() > 1 ? parts[1] : "C:\\Out\\a.mp3");
    VerbLineGivesItsItem(a);
    ParametersAreKept(parts);
    return 0;
}
