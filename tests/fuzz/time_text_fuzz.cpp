// The media reader's duration text: a number of seconds or the conversion
// error, never anything else.
#include "app/runner_text.h"
#include "fuzz_util.h"
#include "win/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = kvfuzz::Text(data, size);
    try {
        const int seconds = kv::TimeTextToSeconds(text);
        kvfuzz::Require(seconds >= 0, "no negative duration", text);
        kvfuzz::Require(seconds < 2147483647, "room for the stored duration's extra second", text);
    } catch (const kv::Error& e) {
        // what() ends at the first zero, as the expected text would.
        const std::string expected = "'" + text + "' is not a valid time";
        kvfuzz::Require(std::string(e.what()) == expected.c_str(), "the conversion error", text);
    }
    return 0;
}
