#pragma once
// SHA-256 (FIPS 180-4), for telling the tool files written at start from any
// other bytes before they are run.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kv {

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;
    Sha256();
    void Update(std::span<const std::uint8_t> data);
    [[nodiscard]] Digest Finish();

    static Digest Of(std::span<const std::uint8_t> data);
    static std::string Hex(const Digest& d);

private:
    void Block(const std::uint8_t* p);
    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> buf_{};
    std::size_t used_ = 0;
    std::uint64_t bits_ = 0;
};

}  // namespace kv
