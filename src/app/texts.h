// The texts the program shows, in the user's language. Each language's table
// comes from the program's string resources; a text a table lacks is English.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class TextId : std::uint16_t {
#define KV_TEXT(id, english) id,
#include "app/texts.def"
#undef KV_TEXT
    Count
};

inline constexpr std::size_t kTextCount = static_cast<std::size_t>(TextId::Count);

// The string resource that holds a text in every language's table.
inline constexpr unsigned kFirstTextResource = 2000;
inline constexpr unsigned TextResource(TextId id) { return kFirstTextResource + static_cast<unsigned>(id); }

struct Language {
    std::string_view tag;   // "de", "pt-BR", "zh-Hans"
    std::string_view name;  // in the language itself: "Deutsch"
    std::uint16_t langId;   // Windows' number for the table's resources
};

// English first, then the others by tag.
std::span<const Language> Languages();
// The language of a tag, ignoring case; nothing for any other text.
const Language* FindLanguage(std::string_view tag);
// The stored choice ("auto" or a tag) when it names one of the tables; else
// the first of the user's display languages, in their order, that one of the
// tables serves ("de-AT" by "de", "zh-TW" by "zh-Hant"); else English.
const Language& PickLanguage(std::string_view stored, std::span<const std::string> preferred);

std::string_view EnglishText(TextId id);
std::string_view TextName(TextId id);  // "AddFileButton": as the tables name it

// Makes a language's table the one in force. texts holds one text per id, in
// order; a missing or empty one is English. Called on the window's thread;
// texts may be read on any.
void UseTexts(const Language& language, std::vector<std::string> texts);
const Language& CurrentLanguage();

// A text in the language in force, its {0}, {1} ... filled in.
std::string Tr(TextId id);
std::string Tr(TextId id, std::initializer_list<std::string_view> args);
// The text in force whose English is this one (a caption of the window's
// layout); the English itself when it is none of the program's texts.
std::string TrEnglish(std::string_view english);
std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> args);
// The access key's "&" taken out, and with it a bracketed key "(&A)".
std::string WithoutAccessKey(std::string_view text);

// A text made longer by 40 %, every letter accented: what a long language
// does to a layout, for the test that every text fits.
std::string PseudoText(std::string_view english);

}  // namespace kv
