// The language tables in the program's string resources, and the user's
// display languages as Windows lists them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/texts.h"

namespace kv {

// One text per id, from the module's string table in the language; an empty
// text where the table has none.
std::vector<std::string> LoadTexts(HMODULE module, const Language& language);
// One of them: a program that shows only one need not load them all.
std::string LoadText(HMODULE module, TextId id, const Language& language);
// The user's display languages, most preferred first ("de-DE", "en-US").
std::vector<std::string> UserDisplayLanguages();
// Picks the language for the stored choice and puts its table in force.
const Language& UseLanguage(std::string_view stored);

}  // namespace kv
