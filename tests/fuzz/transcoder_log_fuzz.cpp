// The transcoder's report, of any size and content: every question about it
// has an answer, and a failure always has words for the user.
#include "convert/transcoder_log.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint32_t code = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
    const std::string log = kvfuzz::Text(data + 4, size - 4);
    const bool damaged = kv::DamageReported(log);
    const kv::Failure f = kv::ClassifyFailure(code, log, "C:\\in\\a.mp4", "C:\\Out\\a.mp3");
    if (damaged)
        kvfuzz::Require(f == kv::Failure::Damaged || f == kv::Failure::DiskFull || f == kv::Failure::InputMissing ||
                            f == kv::Failure::OutputFolder || f == kv::Failure::NoAudio,
                        "damage is reported as a failure", log);
    kvfuzz::Require(!kv::FailureReason(f).empty(), "a reason in words");
    kvfuzz::Require(!kv::FailureMessage("C:\\in\\a.mp4", f).empty(), "a message");
    return 0;
}
