#pragma once

class QCoreApplication;

namespace nbx::ui {
// Loads the translation for the system locale (Japanese, Chinese; English otherwise) and makes
// the string table answer in it. Call once, before any window and any worker thread.
void InstallTranslations(QCoreApplication& app);
}  // namespace nbx::ui
