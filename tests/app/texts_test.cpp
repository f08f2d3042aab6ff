#include "app/texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kv::TextId;

// Tests that put a table in force put English back.
class Texts : public ::testing::Test {
protected:
    void TearDown() override { kv::UseTexts(*kv::FindLanguage("en"), {}); }
};

std::string_view Picked(std::string_view stored, std::vector<std::string> preferred) {
    return kv::PickLanguage(stored, preferred).tag;
}

// Code points, not bytes.
std::size_t Letters(std::string_view s) {
    std::size_t n = 0;
    for (const char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

TEST_F(Texts, TheStoredChoiceOverridesTheDisplayLanguages) {
    EXPECT_EQ(Picked("ja", {"de-DE"}), "ja");
    EXPECT_EQ(Picked("ZH-hant", {"de-DE"}), "zh-Hant");
    EXPECT_EQ(Picked("auto", {"de-DE"}), "de");
    EXPECT_EQ(Picked("de-DE", {"fr-FR"}), "fr") << "a stored choice is a table's tag, exactly";
    EXPECT_EQ(Picked("", {}), "en");
}

// The first display language any table serves wins; English is one of them.
TEST_F(Texts, TheDisplayLanguagesAreTakenInTheirOrder) {
    EXPECT_EQ(Picked("auto", {"de-AT", "en-US"}), "de");
    EXPECT_EQ(Picked("auto", {"en-GB", "de-DE"}), "en");
    EXPECT_EQ(Picked("auto", {"gsw-CH", "sr-Latn-RS", "uk-UA", "ru-RU"}), "uk");
    EXPECT_EQ(Picked("auto", {"", "x", "es-MX"}), "es");
    EXPECT_EQ(Picked("auto", {"nl-NL", "sv-SE"}), "en") << "nothing served: English";
    EXPECT_EQ(Picked("auto", {"pt-PT"}), "pt-BR");
    EXPECT_EQ(Picked("auto", {"pt_BR"}), "pt-BR");
    EXPECT_EQ(Picked("auto", {"tr"}), "tr");
}

TEST_F(Texts, ChineseGoesByScriptThenByRegion) {
    EXPECT_EQ(Picked("auto", {"zh-CN"}), "zh-Hans");
    EXPECT_EQ(Picked("auto", {"zh-SG"}), "zh-Hans");
    EXPECT_EQ(Picked("auto", {"zh"}), "zh-Hans");
    EXPECT_EQ(Picked("auto", {"zh-TW"}), "zh-Hant");
    EXPECT_EQ(Picked("auto", {"zh-HK"}), "zh-Hant");
    EXPECT_EQ(Picked("auto", {"zh-Hant-HK"}), "zh-Hant");
    EXPECT_EQ(Picked("auto", {"zh-Hans-HK"}), "zh-Hans") << "the script outranks the region";
}

// A table that lacks a text, or holds an empty or blank one, shows English.
TEST_F(Texts, AMissingTextIsEnglishNeverEmpty) {
    std::vector<std::string> table(kv::kTextCount, "x");
    table[static_cast<std::size_t>(TextId::DoneState)] = "Fertig";
    table[static_cast<std::size_t>(TextId::FailedState)] = "";
    table[static_cast<std::size_t>(TextId::SkippedState)] = " \r\n";
    table.resize(static_cast<std::size_t>(TextId::ConvertedReason));
    kv::UseTexts(*kv::FindLanguage("de"), table);
    EXPECT_EQ(kv::CurrentLanguage().tag, "de");
    EXPECT_EQ(kv::Tr(TextId::DoneState), "Fertig");
    EXPECT_EQ(kv::Tr(TextId::FailedState), "Failed");
    EXPECT_EQ(kv::Tr(TextId::SkippedState), "Skipped");
    EXPECT_EQ(kv::Tr(TextId::AboutItem), "&About Korvello") << "past the table's end";
    EXPECT_EQ(kv::Tr(TextId::CloseHint), "x");
    EXPECT_EQ(kv::TrEnglish("Done"), "Fertig");
    EXPECT_EQ(kv::TrEnglish("Keep WorkDir Name"), "Keep WorkDir Name") << "not a text of the program";
    EXPECT_EQ(kv::Tr(static_cast<TextId>(kv::kTextCount)), "");
    kv::UseTexts(*kv::FindLanguage("en"), {});
    EXPECT_EQ(kv::Tr(TextId::DoneState), "Done");
}

TEST_F(Texts, PlaceholdersAreFilledInAnyOrderAndNothingElseIs) {
    EXPECT_EQ(kv::FillText("{1} von {0}", {"3", "7"}), "7 von 3");
    EXPECT_EQ(kv::FillText("{0}% {0}", {"42"}), "42% 42");
    EXPECT_EQ(kv::FillText("{2} {x} {} {", {"a", "b"}), "{2} {x} {} {") << "no such argument: left as it is";
    EXPECT_EQ(kv::FillText("{0}", {"{1}", "no"}), "{1}") << "an argument is never filled in itself";
    EXPECT_EQ(kv::Tr(TextId::RunEndedCounts, {"3", "1", "0"}), "Done: 3, Skipped: 1, Failed: 0.");
}

TEST_F(Texts, TheAccessKeyComesOutInBothStyles) {
    EXPECT_EQ(kv::WithoutAccessKey("&Add MP4 File"), "Add MP4 File");
    EXPECT_EQ(kv::WithoutAccessKey("追加 (&A)"), "追加");
    EXPECT_EQ(kv::WithoutAccessKey("MP3"), "MP3");
}

// 40 % longer, every letter accented, placeholders and access keys intact.
TEST_F(Texts, ThePseudoLanguageIsLongerAndAccented) {
    for (std::size_t i = 0; i < kv::kTextCount; ++i) {
        const std::string_view english = kv::EnglishText(static_cast<TextId>(i));
        const std::string pseudo = kv::PseudoText(english);
        EXPECT_GE(Letters(pseudo) * 10, Letters(english) * 14) << english;
        EXPECT_EQ(std::count(pseudo.begin(), pseudo.end(), '&'), std::count(english.begin(), english.end(), '&'));
        std::string letters;
        bool inPlaceholder = false;
        for (const char c : pseudo) {
            inPlaceholder = c == '{' || (inPlaceholder && c != '}');
            if (!inPlaceholder && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) letters += c;
        }
        EXPECT_EQ(letters, "") << pseudo;
    }
    EXPECT_EQ(kv::FillText(kv::PseudoText("{0}% Done"), {"42"}).substr(0, 3), "42%");
}

}  // namespace
