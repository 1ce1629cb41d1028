#include "widgets/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include "base/session_log.h"
#include "base/strings.h"
#include "platform/format.h"

namespace nbx::ui {

namespace {

// Installed by the last call; owned by the application object.
QPointer<QTranslator> g_ours;
QPointer<QTranslator> g_qt;

void Remove(QCoreApplication& app, QPointer<QTranslator>& translator) {
    if (translator != nullptr) {
        app.removeTranslator(translator);
        delete translator;
    }
}

// The device kinds read the same in every language; their "Unknown" must not take the
// translation of the node state "Unknown", so they are looked up under a disambiguation.
const char* Disambiguation(int id) {
    return id >= nbx::strings::kDeviceUnknown && id <= nbx::strings::kDeviceDisk ? "device kind"
                                                                                 : nullptr;
}

}  // namespace

QString TranslationLanguage(const QLocale& locale) {
    switch (locale.language()) {
        case QLocale::Japanese:
            return QStringLiteral("ja");
        case QLocale::Chinese:
            return QStringLiteral("zh_CN");
        default:
            return {};
    }
}

bool InstallTranslationsFor(QCoreApplication& app, const QLocale& locale) {
    Remove(app, g_ours);
    Remove(app, g_qt);
    bool ok = true;
    const QString language = TranslationLanguage(locale);
    if (!language.isEmpty()) {
        const QString ours = QStringLiteral(":/i18n/nimbexshell_%1.qm").arg(language);
        auto* translator = new QTranslator(&app);
        if (translator->load(ours)) {
            app.installTranslator(translator);
            g_ours = translator;
        } else {
            delete translator;
            ok = false;
            WriteLog(LogLevel::Error,
                     StrPrintf("nbx::ui::InstallTranslationsFor(): QTranslator::load() failed "
                               "with arg: \"%s\"",
                               ours.toStdString().c_str()));
        }
        // Qt's own texts (standard buttons, dialogs) when the desktop has them installed.
        const QString qtDir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        auto* qt = new QTranslator(&app);
        if (qt->load(QStringLiteral("qtbase_") + language, qtDir)) {
            app.installTranslator(qt);
            g_qt = qt;
        } else {
            delete qt;
            WriteLog(LogLevel::Warning,
                     StrPrintf("nbx::ui::InstallTranslationsFor(): no Qt translation for \"%s\" "
                               "in \"%s\"",
                               language.toStdString().c_str(), qtDir.toStdString().c_str()));
        }
    }
    nbx::strings::SetTranslator([](int id, const char* english) {
        return QCoreApplication::translate("NbxStrings", english, Disambiguation(id)).toStdString();
    });
    return ok;
}

void InstallTranslations(QCoreApplication& app) {
    InstallTranslationsFor(app, QLocale::system());
}

}  // namespace nbx::ui
