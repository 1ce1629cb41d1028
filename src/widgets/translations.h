#pragma once

#include <QString>

class QCoreApplication;
class QLocale;

namespace nbx::ui {
// Loads the translation for the system locale (Japanese, Chinese; English otherwise) and makes
// the string table answer in it. Call once, before any window and any worker thread.
void InstallTranslations(QCoreApplication& app);

// The same for a given locale; a second call replaces the translators of the first. False when
// the locale has a translation of ours that could not be loaded (the texts stay English).
bool InstallTranslationsFor(QCoreApplication& app, const QLocale& locale);

// The translation a locale is shown in: "ja", "zh_CN", or empty for English.
QString TranslationLanguage(const QLocale& locale);
}  // namespace nbx::ui
