#pragma once

#include <functional>
#include <string>

#include "base/string_ids.h"

// The user-facing texts, by the ids the rest of the program refers to them with (StringId). The
// table holds the English texts; the window installs a translator for the user's language, and
// the core asks only through LoadString, so it never needs to know which language is shown.
namespace nbx::strings {

// The English text of an id; nullptr for an id the table does not hold.
const char* English(int id);

// The text of an id in the user's language: the translator's answer, else the English text;
// empty for an unknown id. Any thread, once the translator is installed.
std::string LoadString(int id);

// Gets the id and its English text; an empty answer falls back to the English text.
using Translator = std::function<std::string(int id, const char* english)>;
// Installed once at start-up, before worker threads exist.
void SetTranslator(Translator translator);

}  // namespace nbx::strings
