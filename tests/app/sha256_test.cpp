// SHA-256 against the standard's test vectors, whole and in pieces.
#include "app/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(kv::Sha256::Hex(kv::Sha256::Of({})), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(kv::Sha256::Hex(kv::Sha256::Of(Bytes("abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(kv::Sha256::Hex(kv::Sha256::Of(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"))),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(kv::Sha256::Hex(kv::Sha256::Of(Bytes(million))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesOfAnySizeGiveTheSameDigest) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7 + 3);
    const auto whole = kv::Sha256::Of(Bytes(data));
    for (std::size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 128u, 999u}) {
        kv::Sha256 s;
        for (std::size_t at = 0; at < data.size(); at += piece) s.Update(Bytes(data.substr(at, piece)));
        EXPECT_EQ(s.Finish(), whole) << "pieces of " << piece;
    }
    data[500] ^= 1;
    EXPECT_NE(kv::Sha256::Of(Bytes(data)), whole) << "one bit changes it";
}

}  // namespace
