#pragma once
// What the harnesses share: the input as text, and a failed property as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kvfuzz {

inline std::string Text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A property that does not hold: libFuzzer keeps the input that broke it.
[[noreturn]] inline void Broken(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "property broken: %s [%.*s]\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

inline void Require(bool holds, const char* what, std::string_view detail = {}) {
    if (!holds) Broken(what, detail);
}

}  // namespace kvfuzz
