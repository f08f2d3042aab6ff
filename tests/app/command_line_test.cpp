#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using kv::ParseCommandLine;

TEST(CommandLine, TheSwitchIsTakenOutWhereverItStandsAndEverythingElseIsAPath) {
    const auto line = ParseCommandLine({"C:\\a.mp4", "/CONVERT", "D:\\b c.mp4", "/convert"});
    EXPECT_TRUE(line.convert);
    EXPECT_EQ(line.paths, (std::vector<std::string>{"C:\\a.mp4", "D:\\b c.mp4"}));

    const auto plain = ParseCommandLine({"C:\\a.mp4"});
    EXPECT_FALSE(plain.convert);
    EXPECT_EQ(plain.paths.size(), 1u);
}

TEST(CommandLine, OnlyTheWholeSwitchCounts) {
    // Near misses are paths: the border check refuses them later as any odd name.
    const auto line = ParseCommandLine({"/convert2", "convert", "-convert", "/conver", " /convert", "\\convert", ""});
    EXPECT_FALSE(line.convert);
    EXPECT_EQ(line.paths.size(), 7u);
    // A switch alone gives no path at all.
    const auto alone = ParseCommandLine({"/Convert"});
    EXPECT_TRUE(alone.convert);
    EXPECT_TRUE(alone.paths.empty());
}

}  // namespace
