#include "ui/text_fit.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

TEST(FlowRow, LabelsStayWhereTheyAreLaidOutWhileTheyFit) {
    const std::array lefts{158, 278, 382};
    EXPECT_EQ(kv::ui::FlowRow(lefts, std::array{60, 80, 45}, 8, 433), (std::vector<int>{158, 278, 382}));
    EXPECT_EQ(kv::ui::FlowRow(lefts, std::array{112, 96, 51}, 8, 433), (std::vector<int>{158, 278, 382}))
        << "exactly at the gap and the limit";
}

TEST(FlowRow, ARowThatWouldOverlapIsPackedAndOneThatCannotFitIsRefused) {
    const std::array lefts{158, 278, 382};
    EXPECT_EQ(kv::ui::FlowRow(lefts, std::array{60, 140, 40}, 8, 433), (std::vector<int>{158, 226, 374}));
    EXPECT_EQ(kv::ui::FlowRow(lefts, std::array{60, 80, 60}, 8, 433), (std::vector<int>{158, 226, 314}))
        << "the last past the limit";
    EXPECT_EQ(kv::ui::FlowRow(lefts, std::array{100, 100, 100}, 8, 433), std::nullopt);
    EXPECT_EQ(kv::ui::FlowRow(std::array<int, 0>{}, std::array<int, 0>{}, 8, 433), std::vector<int>{});
}

TEST(FitColumns, ColumnsGrowForTheirTextsAndTheNamesGiveBackTheExcess) {
    const std::array laidOut{40, 154, 65, 156, 34};
    const std::array flexible{false, true, false, true, false};
    EXPECT_EQ(kv::ui::FitColumns(laidOut, std::array{30, 100, 60, 120, 30}, flexible, 452),
              (std::vector<int>{40, 154, 65, 156, 34}))
        << "as laid out when every text fits";
    EXPECT_EQ(kv::ui::FitColumns(laidOut, std::array{30, 100, 80, 120, 30}, flexible, 452),
              (std::vector<int>{40, 148, 80, 150, 34}))
        << "the progress column grows, the name gives way";
    EXPECT_EQ(kv::ui::FitColumns(laidOut, std::array{60, 150, 90, 170, 40}, flexible, 452),
              (std::vector<int>{60, 121, 90, 141, 40}))
        << "the names give way evenly, below their heads' need before the list would scroll";
    EXPECT_EQ(kv::ui::FitColumns(laidOut, std::array{200, 150, 200, 170, 40}, flexible, 452),
              (std::vector<int>{200, 92, 200, 93, 40}))
        << "never below three fifths of the laid-out width";
}

TEST(UiFont, EachScriptReadsInWindowsOwnInterfaceFace) {
    EXPECT_EQ(kv::ui::UiFontFor("de").face, L"Tahoma");
    EXPECT_EQ(kv::ui::UiFontFor("en").pixels, 11);
    EXPECT_EQ(kv::ui::UiFontFor("ja").face, L"Yu Gothic UI");
    EXPECT_EQ(kv::ui::UiFontFor("ko").face, L"Malgun Gothic");
    EXPECT_EQ(kv::ui::UiFontFor("zh-Hans").face, L"Microsoft YaHei UI");
    EXPECT_EQ(kv::ui::UiFontFor("zh-Hant").face, L"Microsoft JhengHei UI");
    EXPECT_GT(kv::ui::UiFontFor("zh-Hant").pixels, 11);
}

}  // namespace
