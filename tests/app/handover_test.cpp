// The block a second copy sends: what goes in comes out, and a block that any
// other process could have sent is read without trusting it.
#include "app/handover.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

#include "support/checked.h"

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

// One message could otherwise decode into millions of entries: a block of
// more entries than the bound is refused whole, empty ones counted.
TEST(HandOver, ABlockOfMoreEntriesThanTheBoundGivesNothing) {
    std::vector<std::u16string> atBound(kv::kMaxHandOverEntries, u"C:\\a.mp4");
    EXPECT_EQ(RoundTrip(atBound).size(), kv::kMaxHandOverEntries);
    atBound.emplace_back(u"C:\\b.mp4");
    EXPECT_TRUE(RoundTrip(atBound).empty());
    const std::u16string zeros(kv::kMaxHandOverEntries + 1, u'\0');
    EXPECT_TRUE(kv::UnpackHandOver(zeros.data(), zeros.size() * 2).empty());
}

std::vector<kv::HandedPath> Handed(const std::vector<std::string>& paths, std::uint64_t request = 0) {
    std::vector<kv::HandedPath> out;
    for (const auto& p : paths) out.push_back({p, request});
    return out;
}

TEST(HandOverQueue, KeepsOrderAndRefusesWhatWouldPassTheBound) {
    kv::HandOverQueue q;
    EXPECT_TRUE(q.Push(Handed({"C:\\1.mp4", "C:\\2.mp4"}, 7)));
    EXPECT_TRUE(q.Push(Handed({"C:\\3.mp4"})));
    EXPECT_EQ(q.Size(), 3u);
    std::vector<std::string> fill;
    for (std::size_t i = 3; i < kv::kMaxHandOverEntries; ++i) fill.push_back("C:\\f\\" + std::to_string(i) + ".mp4");
    EXPECT_TRUE(q.Push(Handed(fill)));
    EXPECT_FALSE(q.Push(Handed({"C:\\over.mp4"})));
    EXPECT_EQ(q.Size(), kv::kMaxHandOverEntries) << "a refused hand-over leaves nothing behind";
    const auto all = q.TakeAll();
    ASSERT_EQ(all.size(), kv::kMaxHandOverEntries);
    EXPECT_EQ(all[0], (kv::HandedPath{"C:\\1.mp4", 7}));
    EXPECT_EQ(all[2], (kv::HandedPath{"C:\\3.mp4", 0}));
    EXPECT_TRUE(q.Empty());
    EXPECT_TRUE(q.Push(Handed({"C:\\over.mp4"}))) << "room again once taken";
}

// Judged by their text alone, at once: what could never name a file is left out.
TEST(HandOver, OnlyPathsThatCouldNameAFileAreTakenIn) {
    EXPECT_EQ(
        kv::PlausiblePaths({"C:\\a.mp4", "relative.mp4", "\\\\server\\share\\b.mp4", "C:\\x?.mp4", "", "C:\\in\\CON"}),
        (std::vector<std::string>{"C:\\a.mp4", "\\\\server\\share\\b.mp4"}));
}

TEST(HandOver, ALaterCopyThatCouldNotHandOverSaysWhatWasLeftOut) {
    EXPECT_EQ(kv::HandOverFailureText(false, {}), "Korvello is already running but does not answer.");
    const std::string one = kv::HandOverFailureText(false, {"C:\\in\\Talk.mp4"});
    EXPECT_NE(one.find("This file was not added:\n\nTalk.mp4"), std::string::npos) << one;
    std::vector<std::string> many;
    for (int i = 0; i < 13; ++i) many.push_back("D:\\" + std::to_string(i) + ".mp4");
    const std::string text = kv::HandOverFailureText(true, many);
    EXPECT_TRUE(text.starts_with("Korvello is already running and did not take the files.")) << text;
    EXPECT_NE(text.find("\n9.mp4\n... and 3 more"), std::string::npos) << text;
    EXPECT_EQ(text.find("10.mp4"), std::string::npos);
}

}  // namespace

namespace {

// A sender waits a bounded time and then tells its user the files were not
// added: a block it has stopped waiting for is not taken, however late it arrives.
TEST(HandOverTag, ABlockIsTakenOnlyWhileItsSenderWaits) {
    const auto kind = kv::HandOverKindOf(kv::HandOverTagFor(true, 50'000));
    ASSERT_TRUE(kind);
    EXPECT_TRUE(kind->convert);
    EXPECT_EQ(kind->takeBefore, 50'000u);
    EXPECT_TRUE(kv::StillWanted(*kind, 49'999));
    EXPECT_FALSE(kv::StillWanted(*kind, 50'000));
    EXPECT_FALSE(kv::StillWanted(*kind, 90'000));
    // Across the tick count's wrap, 49.7 days on.
    const auto wrapped = kv::HandOverKindOf(kv::HandOverTagFor(false, 100));
    ASSERT_TRUE(wrapped);
    EXPECT_FALSE(wrapped->convert);
    EXPECT_TRUE(kv::StillWanted(*wrapped, 0xFFFFFF00u));
    EXPECT_FALSE(kv::StillWanted(*wrapped, 200));
    // An older build's plain tags have no limit; anything else is no hand-over.
    EXPECT_TRUE(kv::StillWanted(kv::HandOverKindOf(kv::kHandOverTag).value(), 123));
    EXPECT_TRUE(kv::HandOverKindOf(kv::kHandOverConvertTag).value().convert);
    EXPECT_FALSE(kv::HandOverKindOf(0));
    EXPECT_FALSE(kv::HandOverKindOf(0x4B565003));
    EXPECT_FALSE(kv::HandOverKindOf((std::uint64_t{7} << 32) | 0x12345678));
    EXPECT_TRUE(kv::HandOverKindOf(kv::HandOverTagFor(false, 0)).value().takeBefore) << "0 is no missing limit";
}

}  // namespace
