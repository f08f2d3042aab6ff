#include "app/texts_win.h"

#include "win/text.h"

namespace kv {
namespace {

// A string resource lives in a block of sixteen counted UTF-16 strings.
std::wstring_view BlockString(HMODULE module, unsigned id, LANGID langId) {
    const HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW((id >> 4) + 1), langId);
    if (!found) return {};
    const HGLOBAL loaded = ::LoadResource(module, found);
    const auto* p = static_cast<const wchar_t*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!p) return {};
    const wchar_t* end = p + ::SizeofResource(module, found) / sizeof(wchar_t);
    for (unsigned i = 0; i < (id & 15U); ++i) {
        if (p >= end) return {};
        p += 1 + *p;
    }
    if (p >= end || p + 1 + *p > end) return {};
    return {p + 1, *p};
}

}  // namespace

std::string LoadText(HMODULE module, TextId id, const Language& language) {
    return win::Narrow(BlockString(module, TextResource(id), language.langId));
}

std::vector<std::string> LoadTexts(HMODULE module, const Language& language) {
    std::vector<std::string> texts(kTextCount);
    for (std::size_t i = 0; i < kTextCount; ++i) texts[i] = LoadText(module, static_cast<TextId>(i), language);
    return texts;
}

std::vector<std::string> UserDisplayLanguages() {
    ULONG count = 0, size = 0;
    if (!::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) return {};
    std::wstring names(size, L'\0');
    if (!::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) return {};
    std::vector<std::string> out;
    for (std::size_t at = 0; at < names.size() && names[at] != L'\0';) {
        const std::size_t end = names.find(L'\0', at);
        out.push_back(win::Narrow(std::wstring_view(names).substr(at, end - at)));
        at = end + 1;
    }
    return out;
}

const Language& UseLanguage(std::string_view stored) {
    const Language& language = PickLanguage(stored, UserDisplayLanguages());
    UseTexts(language, LoadTexts(::GetModuleHandleW(nullptr), language));
    return language;
}

}  // namespace kv
