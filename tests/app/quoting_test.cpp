// Command lines and the probe's batch file, each read back the way its
// reader reads it: the line by CommandLineToArgvW's rules, the batch file by
// the interpreter's. What goes in must come out exactly, and what cannot be
// carried must be refused rather than written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/runner_text.h"
#include "convert/duration_probe.h"
#include "convert/job_rules.h"
#include "support/argv_rules.h"
#include "support/checked.h"
#include "win/long_path.h"

namespace {

using Args = std::vector<std::string>;

TEST(Quoting, EveryArgumentComesBackWhole) {
    const Args hard{"",       "plain",    "two words", "tab\there", "\"",        "a\"b",          "\\",
                    "\\\\",   "a\\",      "a\\\\",     "a\\\"b",    "C:\\dir\\", "\\\\server\\x", "\\\"\\\"",
                    "%PATH%", "&|<>^()!", "trailing ", " leading",  "\"\"",      "end\\\\\\"};
    for (const auto& a : hard) {
        const std::string line = "prog.exe " + kv::QuoteArgument(a) + " next";
        EXPECT_EQ(kvtest::ArgvOf(line), (Args{"prog.exe", a, "next"})) << "[" << a << "] as " << line;
        EXPECT_EQ(kvtest::ArgvOf("prog.exe " + kv::QuoteAlways(a)), (Args{"prog.exe", a})) << a;
    }
    EXPECT_EQ(kv::QuoteArgument("plain"), "plain");
    EXPECT_EQ(kv::QuoteAlways("C:\\dir\\"), "\"C:\\dir\\\\\"") << "backslashes double only before the closing quote";
    EXPECT_EQ(kv::QuoteAlways("C:\\a\\b"), "\"C:\\a\\b\"");
}

TEST(Quoting, TheProgramIsTheFirstArgumentOrTheLineIsRefused) {
    EXPECT_EQ(kvtest::ArgvOf(kv::BuildCommandLine("C:\\Program Files\\K\\ffmpeg.exe", "-y").value()),
              (Args{"C:\\Program Files\\K\\ffmpeg.exe", "-y"}));
    for (const char* bad : {"", "C:\\a\"b.exe", "\"C:\\a\"b\".exe", "C:\\a\nb.exe", "\"\""})
        EXPECT_FALSE(kv::BuildCommandLine(bad, "")) << bad;
}

TEST(Quoting, TheTranscodersLineNamesExactlyItsTwoFiles) {
    for (const std::string& input : {std::string("D:\\in\\a b.mp4"), std::string("\\\\nas\\share\\😀 ; = ,.mp4"),
                                     "\\\\?\\C:\\" + std::string(200, 'l') + "\\" + std::string(100, 'm') + ".mp4"}) {
        const std::string output = "C:\\Out\\" + kv::FileNamePart(input) + ".mp3";
        const auto args = kv::FfmpegArgsFor(kvtest::Checked(input), output);
        ASSERT_TRUE(args);
        const auto line = kv::BuildCommandLine("C:\\K\\FFMPEG~1.EXE", *args);
        EXPECT_EQ(kvtest::ArgvOf(line.value()),
                  (Args{"C:\\K\\FFMPEG~1.EXE", "-discard:V", "all", "-i", input, "-y", "-deinterlace", "-ar", "44100",
                        "-ab", "128", "-ac", "2", "-f", "mp3", output}));
    }
    const auto checked = kvtest::Checked("D:\\in\\a.mp4");
    for (const char* bad : {"", "C:\\Out\\a\".mp3", "C:\\Out\\a\n.mp3", "\\a.mp3", "a.mp3"})
        EXPECT_FALSE(kv::FfmpegArgsFor(checked, bad)) << "no file name: " << bad;
}

TEST(Quoting, TheReadersDirectLineNamesExactlyItsFile) {
    for (const std::string& input : {std::string("C:\\v\\%TEMP% & x.mp4"), std::string("C:\\v\\plain.mp4"),
                                     "C:\\" + std::string(250, 'd') + "\\" + std::string(40, 'e') + ".mp4"}) {
        const std::string line =
            kv::BuildCommandLine("C:\\K\\mediainfo.exe", kv::DurationProbe::DirectArgs(kvtest::Checked(input))).value();
        const Args argv = kvtest::ArgvOf(line);
        ASSERT_EQ(argv.size(), 3u) << line;
        EXPECT_EQ(argv[1], "--Inform=General;%Duration/String3%");
        EXPECT_EQ(argv[2], kv::ExtendedLengthPath(input));
    }
}

// The interpreter's view of the file: "set name="value"" keeps the quotes in
// the value and turns %% into %; the fourth line runs the tool.
std::string SetValue(const std::string& line, const std::string& name) {
    const std::string head = "set " + name + "=\"";
    if (!line.starts_with(head) || !line.ends_with("\"")) return "<no set line>";
    std::string v = line.substr(head.size(), line.size() - head.size() - 1), out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        out += v[i];
        if (v[i] == '%' && i + 1 < v.size() && v[i + 1] == '%') ++i;
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    if (from != text.size()) lines.push_back(text.substr(from) + "<no line end>");
    return lines;
}

TEST(Quoting, TheBatchFileHasFourLinesAndNamesExactlyTheFile) {
    for (const std::string& input :
         {std::string("C:\\v\\a b&c.mp4"), std::string("C:\\v\\100% ^ (x) , ; = ' & | < >.mp4"),
          std::string("C:\\v\\%%TEMP%%.mp4")}) {
        const auto text = kv::ProbeBatchText(input, "C:\\T\\duration_time.txt", "C:\\K\\MEDIAI~1.EXE");
        ASSERT_TRUE(text) << input;
        const auto lines = Lines(*text);
        ASSERT_EQ(lines.size(), 4u) << *text;
        EXPECT_EQ(SetValue(lines[0], "filein"), input);
        EXPECT_EQ(SetValue(lines[1], "fileout"), "C:\\T\\duration_time.txt");
        EXPECT_EQ(SetValue(lines[2], "mediainfo"), "C:\\K\\MEDIAI~1.EXE");
        EXPECT_EQ(lines[3], "%mediainfo% --Inform=General;%%Duration/String3%% %filein% > %fileout%");
    }
    for (const char* bad :
         {"C:\\x\" & echo pwned > C:\\pwned.txt & \".mp4", "C:\\a\r\necho pwned.mp4", "C:\\a!PATH!.mp4", ""}) {
        EXPECT_FALSE(kv::ProbeBatchText(bad, "C:\\T\\d.txt", "m.exe")) << bad;
        EXPECT_FALSE(kv::ProbeBatchText("C:\\a.mp4", bad, "m.exe")) << "the answer's path too: " << bad;
        EXPECT_FALSE(kv::ProbeBatchText("C:\\a.mp4", "C:\\T\\d.txt", bad)) << "the reader's path too: " << bad;
    }
}

}  // namespace
