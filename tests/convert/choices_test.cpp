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
    ASSERT_EQ(groups.size(), 13u);
    ASSERT_EQ(groups[0].items.size(), 6u);
    ASSERT_EQ(groups[1].items.size(), 4u);
    ASSERT_EQ(groups[2].items.size(), 3u);
    for (std::size_t g = 3; g < 10; ++g) ASSERT_EQ(groups[g].items.size(), 2u) << g;
    ASSERT_EQ(groups[10].items.size(), 3u);
    ASSERT_EQ(groups[11].items.size(), 4u) << "the usual targets, the default among them";
    ASSERT_EQ(groups[12].items.size(), 15u) << "as Windows is set, then each language";
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
    for (std::size_t g = 3; g < 11; ++g)
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

// The loudness menu names the target it brings files to, and offers the
// stored target even when it is none of the usual ones.
TEST(ChoiceCommands, LoudnessItemsShowTheTargetAndAStoredOneOfTheUser) {
    ConversionChoices now;
    now.loudness = kv::Loudness::R128;
    now.loudnessTarget = -20;
    const auto groups = kv::ui::ChoiceGroups(now, 2);
    const auto& loud = groups[groups.size() - 3];
    const auto& target = groups[groups.size() - 2];
    EXPECT_EQ(loud.caption, "&Loudness");
    EXPECT_TRUE(loud.items[1].checked);
    EXPECT_NE(loud.items[1].caption.find("-20 LUFS"), std::string::npos) << loud.items[1].caption;
    ASSERT_EQ(target.items.size(), 5u);
    std::vector<int> shown;
    for (const auto& item : target.items) {
        const auto chosen = kv::ui::Chosen(item.id, now, 2);
        ASSERT_TRUE(chosen) << item.caption;
        shown.push_back(chosen->loudnessTarget);
        EXPECT_EQ(item.checked, chosen->loudnessTarget == -20) << item.caption;
        EXPECT_EQ(chosen->loudness, kv::Loudness::R128) << "a target leaves the loudness choice";
    }
    EXPECT_EQ(shown, (std::vector<int>{-14, -16, -18, -20, -23}));
    EXPECT_EQ(kv::ui::Chosen(kv::ui::kLoudnessCommand + 32, now, 2)->loudness, kv::Loudness::ReplayGain);
    EXPECT_EQ(kv::ui::Chosen(kv::ui::kLoudnessCommand, now, 2)->loudness, kv::Loudness::Off);
    EXPECT_EQ(kv::ui::Chosen(kv::ui::kTargetCommand + 16 * 26, now, 2)->loudnessTarget, -31);
    EXPECT_EQ(kv::ui::Chosen(kv::ui::kTargetCommand, now, 2)->loudnessTarget, -5);
}

// "off", "r128", "replaygain" and a whole number of LUFS from -31 to -5 as
// text: anything else is the default.
TEST(StoredChoices, LoudnessTakesItsTextsAndATargetInRangeAlone) {
    using T = kv::StoredValue::Type;
    kv::ConversionChoices c;
    kv::ReadLoudnessChoices(c, {T::String, "r128", 0}, {T::String, "-23", 0});
    EXPECT_EQ(c.loudness, kv::Loudness::R128);
    EXPECT_EQ(c.loudnessTarget, -23);
    kv::ReadLoudnessChoices(c, {T::String, "replaygain", 0}, {T::String, "-31", 0});
    EXPECT_EQ(c.loudness, kv::Loudness::ReplayGain);
    EXPECT_EQ(c.loudnessTarget, -31);
    kv::ReadLoudnessChoices(c, {T::String, "off", 0}, {T::String, "-5", 0});
    EXPECT_EQ(c.loudness, kv::Loudness::Off);
    EXPECT_EQ(c.loudnessTarget, -5);
    for (const char* odd : {"-32", "-4", "0", "-16.5", " -16", "-16 ", "", "-", "--16", "-9999999999", "16", "0x10"}) {
        kv::ReadLoudnessChoices(c, {T::String, "R128", 0}, {T::String, odd, 0});
        EXPECT_EQ(c.loudness, kv::Loudness::Off) << "the texts are exact";
        EXPECT_EQ(c.loudnessTarget, -16) << odd;
    }
    kv::ReadLoudnessChoices(c, {T::Dword, "r128", 1}, {T::Dword, "-20", 0xFFFFFFECu});
    EXPECT_EQ(c, kv::ConversionChoices{}) << "of another type: the defaults";
    EXPECT_EQ(kv::LoudnessText(kv::Loudness::ReplayGain), "replaygain");
}

TEST(ChoiceCommands, IdsOfNoChoiceChangeNothing) {
    const ConversionChoices now;
    for (unsigned id :
         {0u, kv::ui::kQualityCommand + 1, kv::ui::kQualityCommand + 16 * 6, kv::ui::kFilesCommand + 16 * 4,
          kv::ui::kWhenCommand + 16 * 3, kv::ui::kAboutCommand, kv::ui::kSubfoldersCommand + 32,
          kv::ui::kChaptersCommand + 32, kv::ui::kCoverCommand + 8, kv::ui::kPriorityCommand + 32,
          kv::ui::kLoudnessCommand + 48, kv::ui::kTargetCommand + 16 * 27 /* -32 LUFS */, kv::ui::kTargetCommand + 24,
          kv::ui::kLanguageCommand + 16 * 15, kv::ui::kLanguageCommand + 4, 0x1F00u, 0xF020u /* SC_MINIMIZE */})
        EXPECT_FALSE(kv::ui::Chosen(id, now, 4)) << std::hex << id;
}

// The language group names each language in itself, marks the stored one,
// and stores a table's tag in any case as ours; anything else is "auto".
TEST(ChoiceCommands, LanguageItemsNameEachLanguageInItself) {
    ConversionChoices now;
    now.language = "ja";
    const auto group = kv::ui::ChoiceGroups(now, 2).back();
    ASSERT_EQ(group.items.size(), 15u);
    EXPECT_EQ(group.items[0].caption, "As &Windows is set");
    for (const auto& item : group.items) {
        const auto chosen = kv::ui::Chosen(item.id, now, 2);
        ASSERT_TRUE(chosen) << item.caption;
        EXPECT_EQ(item.checked, chosen->language == "ja") << item.caption;
        if (chosen->language == "ja") EXPECT_EQ(item.caption, "日本語");
    }
    EXPECT_EQ(kv::ui::Chosen(kv::ui::kLanguageCommand, now, 2)->language, "auto");
    using T = kv::StoredValue::Type;
    kv::ConversionChoices c;
    for (const auto& [stored, want] :
         std::vector<std::pair<std::string, std::string>>{{"zh-hant", "zh-Hant"},
                                                          {"PT_br", "pt-BR"},
                                                          {"de", "de"},
                                                          {"auto", "auto"},
                                                          {"de-DE", "auto"},
                                                          {"", "auto"},
                                                          {"klingon", "auto"},
                                                          {std::string("de\0", 3), "auto"}}) {
        kv::ReadLanguageChoice(c, {T::String, stored, 0});
        EXPECT_EQ(c.language, want) << stored;
    }
    kv::ReadLanguageChoice(c, {T::Dword, "de", 7});
    EXPECT_EQ(c.language, "auto") << "of another type";
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
