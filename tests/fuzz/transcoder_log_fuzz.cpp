// The transcoder's report, of any size and content: every question about it
// has an answer, a failure always has words for the user, and nothing a tag
// can say (printed indented, under its key) changes the verdict's readings.
#include <cmath>

#include "convert/transcoder_log.h"
#include "fuzz_util.h"

namespace {

// The text as a tag's value is printed: each line indented under its key.
std::string AsTag(const std::string& text) {
    std::string out = "    comment         : ";
    for (const char c : text) {
        if (c == '\r') {
            out += ' ';
        } else if (c == '\n') {
            out += "\n                    : ";
        } else {
            out += c;
        }
    }
    return out + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::uint32_t code = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
    const std::size_t cut = 5 + data[4] * (size - 5) / 256;
    const std::string log = kvfuzz::Text(data + 5, cut - 5);
    const std::string tagText = kvfuzz::Text(data + cut, size - cut);
    const bool damaged = kv::DamageReported(log);
    const kv::Failure f = kv::ClassifyFailure(code, log, "C:\\in\\a.mp4", "C:\\Out\\a.mp3");
    if (damaged)
        kvfuzz::Require(f == kv::Failure::Damaged || f == kv::Failure::DiskFull || f == kv::Failure::InputMissing ||
                            f == kv::Failure::OutputFolder || f == kv::Failure::NoAudio,
                        "damage is reported as a failure", log);
    kvfuzz::Require(!kv::FailureReason(f).empty(), "a reason in words");
    kvfuzz::Require(!kv::FailureMessage("C:\\in\\a.mp4", f).empty(), "a message");

    const auto reached = kv::ReachedSeconds(log);
    const auto input = kv::InputSeconds(log);
    for (const auto& t : {reached, input})
        if (t) kvfuzz::Require(std::isfinite(*t) && *t >= 0, "a time is a time", log);
    // A tag anywhere in the first input's section: the input is never shorter,
    // the time reached and the summary never change.
    const std::string header = "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'a.mp4':\n  Metadata:\n";
    const std::string withTag = header + AsTag(tagText) + "  Duration: 00:01:00.00, start: 0\n" + log;
    const std::string plain = header + "  Duration: 00:01:00.00, start: 0\n" + log;
    kvfuzz::Require(kv::InputSeconds(withTag).value_or(0) >= kv::InputSeconds(plain).value_or(0),
                    "a tag never shortens the input", withTag);
    kvfuzz::Require(kv::ReachedSeconds(withTag) == kv::ReachedSeconds(plain), "a tag is no progress", withTag);
    kvfuzz::Require(kv::SummaryWritten(withTag) == kv::SummaryWritten(plain), "a tag is no summary", withTag);
    return 0;
}
