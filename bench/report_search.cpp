// How long judging a transcoder report takes, on reports built to be hard:
// one line of a megabyte holding the output path thousands of times, and a
// megabyte of short progress lines. Run by `make bench`; prints milliseconds.
#include <chrono>
#include <cstdio>
#include <string>

#include "convert/transcoder_log.h"

namespace {

template <class Work>
double Ms(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const std::string out = "D:\\music\\" + std::string(240, 'a') + ".mp3";
    std::string oneLine;
    while (oneLine.size() < 1000000) oneLine += out.substr(0, out.size() - 1) + " ";
    std::string manyLines;
    while (manyLines.size() < 1000000)
        manyLines += "size=     126kB time=00:00:08.02 bitrate= 128.8kbits/s speed=43x\r";
    int sink = 0;
    const double a = Ms([&] { sink += static_cast<int>(kv::ClassifyFailure(1, oneLine, "C:\\in.mp4", out)); });
    const double b = Ms([&] { sink += static_cast<int>(kv::ClassifyFailure(1, manyLines, "C:\\in.mp4", out)); });
    const double c = Ms([&] { sink += kv::ReachedSeconds(manyLines).has_value() ? 1 : 0; });
    std::printf("1 MB on one line, the path %zu times: %.1f ms\n", oneLine.size() / out.size(), a);
    std::printf("1 MB of progress lines: %.1f ms; the last time reached: %.1f ms (%d)\n", b, c, sink);
    return a < 1000 && b < 1000 && c < 1000 ? 0 : 1;
}
