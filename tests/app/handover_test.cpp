// The block a second copy sends: what goes in comes out, and a block that any
// other process could have sent is read without trusting it.
#include "app/handover.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> RoundTrip(const std::vector<std::u16string>& paths) {
    const std::u16string block = kv::PackHandOver(paths);
    return kv::UnpackHandOver(block.data(), block.size() * sizeof(char16_t));
}

TEST(HandOver, PathsOfAnyLengthAndScriptComeBackInOrder) {
    const std::u16string longPath = u"C:\\" + std::u16string(300, u'x') + u"\\clip.mp4";
    const std::vector<std::u16string> paths{u"C:\\Видео\\Лекция 1.mp4", longPath, u"\\\\server\\share\\😀 a.mp4",
                                            u"D:\\Clips"};
    EXPECT_EQ(RoundTrip(paths), paths);
    std::vector<std::u16string> many(5000, u"C:\\a.mp4");
    EXPECT_EQ(RoundTrip(many).size(), 5000u);
    EXPECT_TRUE(RoundTrip({}).empty());
    EXPECT_EQ(RoundTrip({u"", u"C:\\b.mp4", u""}), std::vector<std::u16string>{u"C:\\b.mp4"});
}

TEST(HandOver, ABlockThatIsNotWholeGivesNothing) {
    const std::u16string block = kv::PackHandOver({u"C:\\a.mp4", u"C:\\b.mp4"});
    const std::size_t bytes = block.size() * sizeof(char16_t);
    EXPECT_EQ(kv::UnpackHandOver(block.data(), bytes).size(), 2u);
    EXPECT_TRUE(kv::UnpackHandOver(block.data(), bytes - 1).empty()) << "odd byte count";
    EXPECT_TRUE(kv::UnpackHandOver(block.data(), bytes - 2).empty()) << "no final zero";
    EXPECT_TRUE(kv::UnpackHandOver(nullptr, bytes).empty());
    EXPECT_TRUE(kv::UnpackHandOver(block.data(), 0).empty());
    const std::u16string huge(kv::kMaxHandOverBytes / 2 + 1, u'\0');
    EXPECT_TRUE(kv::UnpackHandOver(huge.data(), huge.size() * 2).empty()) << "over the size limit";
}

TEST(HandOver, EntriesNoFileCanHaveAreSkipped) {
    // Read at an odd address, as a sender's block may lie.
    std::u16string block = u"C:\\a.mp4";
    block.push_back(u'\0');
    block.append(kv::kMaxHandedPath, u'y');  // one unit too long for any path
    block.push_back(u'\0');
    block.push_back(u'\0');  // an empty entry
    block.append(u"C:\\c.mp4");
    block.push_back(u'\0');
    std::vector<char> unaligned(block.size() * 2 + 1);
    std::memcpy(unaligned.data() + 1, block.data(), block.size() * 2);
    EXPECT_EQ(kv::UnpackHandOver(unaligned.data() + 1, block.size() * 2),
              (std::vector<std::u16string>{u"C:\\a.mp4", u"C:\\c.mp4"}));
    // A zero inside a path given to the packer ends that path there.
    std::u16string withZero = u"C:\\d.mp4";
    withZero.push_back(u'\0');
    withZero.append(u"tail");
    EXPECT_EQ(RoundTrip({withZero}), std::vector<std::u16string>{u"C:\\d.mp4"});
}

}  // namespace
