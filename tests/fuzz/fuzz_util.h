#pragma once
// What the harnesses share: the input as text, and a failed property as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kvfuzz {

inline std::string Text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A property that does not hold: libFuzzer keeps the input that broke it.
[[noreturn]] inline void Broken(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "property broken: %s [%.*s]\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// The input cut at its zero bytes: several texts from one input.
inline std::vector<std::string> SplitAtZeros(const std::string& s) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = s.find('\0', from);
        parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

inline void Require(bool holds, const char* what, std::string_view detail = {}) {
    if (!holds) Broken(what, detail);
}

}  // namespace kvfuzz
