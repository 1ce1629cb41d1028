#include "base/strings.h"

#include <algorithm>
#include <iterator>

namespace nbx::strings {

namespace {

#define QT_TRANSLATE_NOOP(context, text) text

struct Entry {
    int id;
    const char* english;
};

constexpr Entry kTable[] = {
#include "base/string_table.inc"
};

#undef QT_TRANSLATE_NOOP

static_assert(std::is_sorted(std::begin(kTable), std::end(kTable),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }),
              "keep the string table sorted by id");

Translator g_translator;

}  // namespace

const char* English(int id) {
    const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                     [](const Entry& e, int key) { return e.id < key; });
    return it != std::end(kTable) && it->id == id ? it->english : nullptr;
}

std::string LoadString(int id) {
    const char* english = English(id);
    if (english == nullptr) {
        return {};
    }
    if (g_translator) {
        std::string translated = g_translator(id, english);
        if (!translated.empty()) {
            return translated;
        }
    }
    return english;
}

void SetTranslator(Translator translator) {
    g_translator = std::move(translator);
}

}  // namespace nbx::strings
