// The choices as stored values and as menu commands: what is read, what each
// item does, and that anything unknown falls back to the default.
#include "convert/choices.h"

#include <gtest/gtest.h>

#include "ui/choice_menu.h"

namespace {

using kv::ConversionChoices;
using kv::Mp3Quality;
using kv::StoredValue;
using kv::WhenMp3Exists;
using Type = StoredValue::Type;

StoredValue Text(const char* t) { return {Type::String, t, 0}; }
StoredValue Number(std::uint32_t n) { return {Type::Dword, "", n}; }
const StoredValue kMissing{};

TEST(StoredChoices, KnownValuesAreTakenAndEverythingElseIsTheDefault) {
    const ConversionChoices defaults;
    EXPECT_EQ(kv::ChoicesFrom(kMissing, kMissing, kMissing, 8), defaults);
    EXPECT_EQ(kv::ChoicesFrom(Text("320"), Number(8), Text("skip"), 8),
              (ConversionChoices{Mp3Quality::Kbps320, 8, WhenMp3Exists::Skip}));
    for (const Mp3Quality q : kv::AllQualities())
        EXPECT_EQ(kv::ChoicesFrom(Text(std::string(kv::QualityText(q)).c_str()), kMissing, kMissing, 8).quality, q);
    for (const WhenMp3Exists w : kv::AllWhenExists())
        EXPECT_EQ(kv::ChoicesFrom(kMissing, kMissing, Text(std::string(kv::WhenExistsText(w)).c_str()), 8).whenExists,
                  w);
    // Another type, unknown texts, numbers out of range.
    for (const StoredValue& bad : {Number(192), Text("192 "), Text("v2"), Text(""), StoredValue{Type::Other}})
        EXPECT_EQ(kv::ChoicesFrom(bad, kMissing, kMissing, 8).quality, Mp3Quality::Kbps128) << bad.text;
    for (const StoredValue& bad : {Text("2"), Number(0), Number(9), Number(0xFFFFFFFFu), StoredValue{Type::Other}})
        EXPECT_EQ(kv::ChoicesFrom(kMissing, bad, kMissing, 8).filesAtOnce, 1) << bad.number;
    EXPECT_EQ(kv::ChoicesFrom(kMissing, Number(3), kMissing, 2).filesAtOnce, 1) << "more than the PC has";
    for (const StoredValue& bad : {Number(1), Text("Skip"), Text("keep both"), Text("keep-both\n")})
        EXPECT_EQ(kv::ChoicesFrom(kMissing, kMissing, bad, 8).whenExists, WhenMp3Exists::Replace) << bad.text;
}

TEST(StoredChoices, FilesAtOnceFollowTheProcessorsUpToEight) {
    EXPECT_EQ(kv::MaxFilesAtOnce(0), 1);
    EXPECT_EQ(kv::MaxFilesAtOnce(1), 1);
    EXPECT_EQ(kv::MaxFilesAtOnce(6), 6);
    EXPECT_EQ(kv::MaxFilesAtOnce(64), 8);
}

TEST(ChoiceCommands, EachItemMakesItsChoiceAndMarksIt) {
    const ConversionChoices now{Mp3Quality::Kbps192, 2, WhenMp3Exists::KeepBoth};
    const auto groups = kv::ui::ChoiceGroups(now, 4);
    ASSERT_EQ(groups.size(), 10u);
    ASSERT_EQ(groups[0].items.size(), 6u);
    ASSERT_EQ(groups[1].items.size(), 4u);
    ASSERT_EQ(groups[2].items.size(), 3u);
    for (std::size_t g = 3; g < groups.size(); ++g) ASSERT_EQ(groups[g].items.size(), 2u) << g;
    for (const auto& g : groups) {
        int marked = 0;
        for (const auto& item : g.items) {
            marked += item.checked ? 1 : 0;
            EXPECT_EQ(item.id % 16, 0u) << "the system menu keeps the low four bits";
            EXPECT_LT(item.id, 0xF000u);
            const auto chosen = kv::ui::Chosen(item.id, now, 4);
            ASSERT_TRUE(chosen) << item.caption;
            // Choosing an item marks it, and changes nothing else.
            const auto after = kv::ui::ChoiceGroups(*chosen, 4);
            for (std::size_t gi = 0; gi < after.size(); ++gi)
                for (std::size_t ii = 0; ii < after[gi].items.size(); ++ii) {
                    const bool same = &g == &groups[gi];
                    const bool want = same ? after[gi].items[ii].id == item.id : groups[gi].items[ii].checked;
                    EXPECT_EQ(after[gi].items[ii].checked, want)
                        << item.caption << " / " << after[gi].items[ii].caption;
                }
        }
        EXPECT_EQ(marked, 1) << g.caption;
    }
    EXPECT_EQ(groups[0].items[4].caption, "&Variable, about 190 kbit/s (V2)");
    EXPECT_EQ(kv::ui::Chosen(kv::ui::kQualityCommand + 16 * 4, now, 4)->quality, Mp3Quality::V2);
    EXPECT_EQ(kv::ui::Chosen(kv::ui::kFilesCommand + 16 * 3, now, 4)->filesAtOnce, 4);
    EXPECT_TRUE(kv::ui::Chosen(kv::ui::kSubfoldersCommand + 16, now, 4)->addSubfolders);
    EXPECT_FALSE(groups[3].items[1].checked) << "a folder's own files alone, unless chosen";
    EXPECT_TRUE(kv::ui::Chosen(kv::ui::kChaptersCommand + 16, now, 4)->splitChapters);
    EXPECT_TRUE(kv::ui::Chosen(kv::ui::kCoverCommand + 16, now, 4)->coverFromVideo);
    for (std::size_t g = 3; g < groups.size(); ++g)
        EXPECT_TRUE(groups[g].items[0].checked) << groups[g].caption << ": the first item is the default";
    EXPECT_TRUE(kv::ui::Chosen(kv::ui::kPlaceCommand + 16, now, 4)->beside);
    EXPECT_TRUE(kv::ui::Chosen(kv::ui::kDatesCommand + 16, now, 4)->keepDates);
    EXPECT_FALSE(kv::ui::Chosen(kv::ui::kNotifyCommand + 16, now, 4)->notifyWhenDone);
    EXPECT_TRUE(kv::ui::Chosen(kv::ui::kPriorityCommand + 16, now, 4)->normalPriority);
}

TEST(StoredChoices, AddSubfoldersIsOnForTheDwordOneAlone) {
    using T = kv::StoredValue::Type;
    EXPECT_TRUE(kv::SwitchFrom({T::Dword, "", 1}));
    for (const kv::StoredValue& v :
         {kv::StoredValue{T::Dword, "", 0}, kv::StoredValue{T::Dword, "", 2}, kv::StoredValue{T::String, "1", 0},
          kv::StoredValue{T::Missing, "", 1}, kv::StoredValue{T::Dword, "", 0xFFFFFFFFu}})
        EXPECT_FALSE(kv::SwitchFrom(v)) << v.text << " " << v.number;
}

// Each later value read from whatever the registry holds: only its one other
// setting changes it, and anything else is its default.
TEST(StoredChoices, LaterChoicesTakeTheirOneOtherSettingAlone) {
    using T = kv::StoredValue::Type;
    const kv::StoredValue missing{T::Missing, "", 0}, one{T::Dword, "", 1}, zero{T::Dword, "", 0};
    kv::ConversionChoices c;
    kv::ReadLaterChoices(c, missing, missing, missing, missing, missing, missing, missing);
    EXPECT_EQ(c, kv::ConversionChoices{}) << "nothing stored: the plain conversion";
    kv::ReadLaterChoices(c, one, one, one, {T::String, "beside", 0}, one, zero, {T::String, "normal", 0});
    EXPECT_TRUE(c.addSubfolders && c.splitChapters && c.coverFromVideo && c.beside && c.keepDates && c.normalPriority);
    EXPECT_FALSE(c.notifyWhenDone);
    for (const kv::StoredValue& odd : {kv::StoredValue{T::String, "Beside", 0}, kv::StoredValue{T::String, "1", 1},
                                       kv::StoredValue{T::Dword, "beside", 2}, kv::StoredValue{T::String, "beside ", 0},
                                       kv::StoredValue{T::Other, "", 0}}) {
        kv::ReadLaterChoices(c, odd, odd, odd, odd, odd, odd, odd);
        EXPECT_FALSE(c.beside || c.keepDates || c.normalPriority || c.splitChapters) << odd.text;
        EXPECT_TRUE(c.notifyWhenDone) << "only the DWORD 0 turns it off: " << odd.text;
    }
}

TEST(ChoiceCommands, IdsOfNoChoiceChangeNothing) {
    const ConversionChoices now;
    for (unsigned id : {0u, kv::ui::kQualityCommand + 1, kv::ui::kQualityCommand + 16 * 6,
                        kv::ui::kFilesCommand + 16 * 4, kv::ui::kWhenCommand + 16 * 3, kv::ui::kAboutCommand,
                        kv::ui::kSubfoldersCommand + 32, kv::ui::kChaptersCommand + 32, kv::ui::kCoverCommand + 8,
                        kv::ui::kPriorityCommand + 32, 0x1B00u, 0xF020u /* SC_MINIMIZE */})
        EXPECT_FALSE(kv::ui::Chosen(id, now, 4)) << std::hex << id;
}

TEST(ChoiceArguments, The128LineIsAsItWasAndEachOtherQualityNamesItsRate) {
    EXPECT_EQ(kv::QualityArguments(Mp3Quality::Kbps128), "-ab 128");
    EXPECT_EQ(kv::QualityArguments(Mp3Quality::Kbps320), "-ab 320k");
    EXPECT_EQ(kv::QualityArguments(Mp3Quality::V0), "-q:a 0");
    EXPECT_TRUE(kv::IsConstantRate(Mp3Quality::Kbps256));
    EXPECT_FALSE(kv::IsConstantRate(Mp3Quality::V2));
    EXPECT_EQ(kv::NominalBytesPerSecond(Mp3Quality::Kbps192), 24000.0);
}

}  // namespace
