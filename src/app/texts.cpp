#include "app/texts.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <iterator>
#include <mutex>

namespace kv {
namespace {

constexpr std::array<std::string_view, kTextCount> kEnglish{
#define KV_TEXT(id, english) english,
#include "app/texts.def"
#undef KV_TEXT
};

constexpr std::array<std::string_view, kTextCount> kNames{
#define KV_TEXT(id, english) #id,
#include "app/texts.def"
#undef KV_TEXT
};

constexpr std::array kLanguages{
    Language{"en", "English", 0x0409},
    Language{"de", "Deutsch", 0x0407},
    Language{"es", "Español", 0x0C0A},
    Language{"fr", "Français", 0x040C},
    Language{"it", "Italiano", 0x0410},
    Language{"ja", "日本語", 0x0411},
    Language{"ko", "한국어", 0x0412},
    Language{"pl", "Polski", 0x0415},
    Language{"pt-BR", "Português (Brasil)", 0x0416},
    Language{"ru", "Русский", 0x0419},
    Language{"tr", "Türkçe", 0x041F},
    Language{"uk", "Українська", 0x0422},
    Language{"zh-Hans", "简体中文", 0x0804},
    Language{"zh-Hant", "繁體中文", 0x0404},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTag(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Lower(x) == Lower(y) || ((x == '_' || x == '-') && (y == '_' || y == '-'));
           });
}

// The subtags of a BCP 47 name, lower case: "zh-Hant-TW" gives zh, hant, tw.
std::vector<std::string> Subtags(std::string_view tag) {
    std::vector<std::string> parts(1);
    for (const char c : tag) {
        if (c == '-' || c == '_')
            parts.emplace_back();
        else
            parts.back() += Lower(c);
    }
    return parts;
}

bool Has(const std::vector<std::string>& parts, std::string_view part) {
    return std::find(parts.begin(), parts.end(), part) != parts.end();
}

// Chinese by script, else by region (Taiwan, Hong Kong and Macao write
// traditional characters); Portuguese of any region reads Brazil's.
const Language* ServedBy(std::string_view preferred) {
    if (const Language* exact = FindLanguage(preferred)) return exact;
    const std::vector<std::string> parts = Subtags(preferred);
    if (parts[0] == "zh") {
        const bool traditional =
            !Has(parts, "hans") && (Has(parts, "hant") || Has(parts, "tw") || Has(parts, "hk") || Has(parts, "mo"));
        return FindLanguage(traditional ? "zh-Hant" : "zh-Hans");
    }
    if (parts[0] == "pt") return FindLanguage("pt-BR");
    return parts[0].size() >= 2 ? FindLanguage(parts[0]) : nullptr;
}

struct Table {
    const Language* language;
    std::array<std::string, kTextCount> texts;
};

std::mutex& TablesLock() {
    static std::mutex lock;
    return lock;
}
// Tables are never freed, so a reader on another thread keeps a valid one.
std::deque<Table>& Tables() {
    static std::deque<Table> tables;
    return tables;
}
std::atomic<const Table*> current{nullptr};

}  // namespace

std::span<const Language> Languages() { return kLanguages; }

const Language* FindLanguage(std::string_view tag) {
    for (const Language& l : kLanguages)
        if (SameTag(l.tag, tag)) return &l;
    return nullptr;
}

const Language& PickLanguage(std::string_view stored, std::span<const std::string> preferred) {
    if (const Language* chosen = FindLanguage(stored)) return *chosen;
    for (const std::string& p : preferred)
        if (const Language* served = ServedBy(p)) return *served;
    return kLanguages[0];
}

std::string_view EnglishText(TextId id) {
    const auto i = static_cast<std::size_t>(id);
    return i < kTextCount ? kEnglish[i] : std::string_view();
}

std::string_view TextName(TextId id) {
    const auto i = static_cast<std::size_t>(id);
    return i < kTextCount ? kNames[i] : std::string_view();
}

void UseTexts(const Language& language, std::vector<std::string> texts) {
    const std::lock_guard hold(TablesLock());
    Table& t = Tables().emplace_back();
    t.language = &language;
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const bool given = i < texts.size() && texts[i].find_first_not_of(" \t\r\n") != std::string::npos;
        t.texts[i] = given ? std::move(texts[i]) : std::string(kEnglish[i]);
    }
    current.store(&t);
}

const Language& CurrentLanguage() {
    const Table* t = current.load();
    return t ? *t->language : kLanguages[0];
}

std::string Tr(TextId id) {
    const auto i = static_cast<std::size_t>(id);
    if (i >= kTextCount) return {};
    const Table* t = current.load();
    return t ? t->texts[i] : std::string(kEnglish[i]);
}

std::string Tr(TextId id, std::initializer_list<std::string_view> args) { return FillText(Tr(id), args); }

std::string TrEnglish(std::string_view english) {
    if (english.empty()) return {};
    const auto* found = std::find(kEnglish.begin(), kEnglish.end(), english);
    return found == kEnglish.end() ? std::string(english)
                                   : Tr(static_cast<TextId>(std::distance(kEnglish.begin(), found)));
}

std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t close = pattern.find('}', i);
        if (pattern[i] == '{' && close != std::string_view::npos && close - i == 2 && pattern[i + 1] >= '0' &&
            pattern[i + 1] <= '9' && static_cast<std::size_t>(pattern[i + 1] - '0') < args.size()) {
            out.append(args.begin()[pattern[i + 1] - '0']);
            i = close;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string WithoutAccessKey(std::string_view text) {
    std::string out(text);
    const std::size_t bracket = out.find("(&");
    if (bracket != std::string::npos && bracket + 3 < out.size() && out[bracket + 3] == ')') {
        out.erase(bracket, 4);
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out;
    }
    const std::size_t amp = out.find('&');
    if (amp != std::string::npos) out.erase(amp, 1);
    return out;
}

std::string PseudoText(std::string_view english) {
    static constexpr std::string_view kLower[] = {"á", "ƀ", "ç", "đ", "é", "ƒ", "ğ", "ĥ", "í", "ĵ", "ķ", "ĺ", "ɱ",
                                                  "ñ", "ö", "þ", "ǫ", "ŕ", "š", "ţ", "ü", "ṽ", "ŵ", "ẋ", "ý", "ž"};
    static constexpr std::string_view kUpper[] = {"Å", "Ɓ", "Ç", "Đ", "É", "Ƒ", "Ğ", "Ĥ", "Í", "Ĵ", "Ķ", "Ĺ", "Ṁ",
                                                  "Ñ", "Ö", "Þ", "Ǫ", "Ŕ", "Š", "Ţ", "Ü", "Ṽ", "Ŵ", "Ẋ", "Ý", "Ž"};
    std::string out;
    std::size_t letters = 0;
    bool inPlaceholder = false;
    for (const char c : english) {
        inPlaceholder = c == '{' || (inPlaceholder && c != '}');
        if (!inPlaceholder && c >= 'a' && c <= 'z')
            out += kLower[c - 'a'];
        else if (!inPlaceholder && c >= 'A' && c <= 'Z')
            out += kUpper[c - 'A'];
        else
            out += c;
        ++letters;
    }
    static constexpr std::string_view kFill[] = {"ļ", "ő", "ŋ", "ğ", "é", "ŕ"};
    const std::size_t extra = (letters * 4 + 9) / 10;
    if (extra > 0) out += ' ';
    for (std::size_t i = 1; i < extra; ++i) out += kFill[i % std::size(kFill)];
    return out;
}

}  // namespace kv
