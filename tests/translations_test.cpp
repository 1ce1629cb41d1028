#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <string>
#include <vector>

#include "base/strings.h"
#include "widgets/translations.h"
#include "widgets/ui_texts.h"

namespace {

using nbx::strings::English;
using nbx::strings::LoadString;

// Every id the string table holds.
std::vector<int> TableIds() {
    std::vector<int> ids;
    for (int id = 0; id < 1000; ++id) {
        if (English(id) != nullptr) {
            ids.push_back(id);
        }
    }
    return ids;
}

bool IsDeviceKind(int id) {
    return id >= 810 && id <= 819;
}

struct TsMessage {
    QString translation;
    bool finished = true;
};
// context -> (source, comment) -> message
using TsFile = QMap<QString, QMap<QPair<QString, QString>, TsMessage>>;

TsFile ReadTs(const QString& path) {
    TsFile file;
    QFile in(path);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&in);
    QString context;
    QString source;
    QString comment;
    TsMessage message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"name") {
                context = xml.readElementText();
            } else if (name == u"message") {
                source.clear();
                comment.clear();
                message = {};
            } else if (name == u"source") {
                source = xml.readElementText();
            } else if (name == u"comment") {
                comment = xml.readElementText();
            } else if (name == u"translation") {
                message.finished = xml.attributes().value(QStringLiteral("type")).isEmpty();
                message.translation = xml.readElementText();
            }
        } else if (xml.isEndElement() && xml.name() == u"message") {
            file[context][{source, comment}] = message;
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return file;
}

// The printf conversions and the Qt place markers of a text, in order.
QStringList Placeholders(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("%[-+ #0]*[0-9]*(?:\\.[0-9]+)?(?:ll|l|h)?[a-zA-Z%]|%[0-9]+"));
    QStringList found;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        found << it.next().captured();
    }
    return found;
}

bool HasAccelerator(const QString& text) {
    return text.contains(QRegularExpression(QStringLiteral("&[^& ]")));
}

class TranslationsTest : public ::testing::Test {
protected:
    void TearDown() override {
        nbx::ui::InstallTranslationsFor(*QCoreApplication::instance(), QLocale(QLocale::English));
    }
};

TEST_F(TranslationsTest, LanguageByLocale) {
    struct Case {
        const char* locale;
        const char* language;
    } const cases[] = {
        {"ja_JP", "ja"},    {"ja", "ja"},  {"zh_CN", "zh_CN"}, {"zh_TW", "zh_CN"},
        {"zh_HK", "zh_CN"}, {"en_US", ""}, {"de_DE", ""},      {"C", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::TranslationLanguage(QLocale(QString::fromLatin1(c.locale))),
                  QString::fromLatin1(c.language))
            << c.locale;
    }
}

TEST_F(TranslationsTest, StringTableAndWindowTextsAnswerInTheLanguage) {
    QCoreApplication& app = *QCoreApplication::instance();
    struct Case {
        QLocale locale;
        std::string nodeNotFound;  // 212
        QString file;              // a menu text
        std::string stateUnknown;  // 511
        QString qtCancel;          // Qt's own standard button
    } const cases[] = {
        {QLocale(QLocale::Japanese, QLocale::Japan), "指定されたノードが見つかりませんでした。",
         QStringLiteral("ファイル(&F)"), "不明", QStringLiteral("キャンセル")},
        {QLocale(QLocale::Chinese, QLocale::China), "未找到指定的节点！",
         QStringLiteral("文件(&F)"), "未知", QStringLiteral("取消")},
        {QLocale(QLocale::English), "Specified node was not found!", QStringLiteral("&File"),
         "Unknown", QStringLiteral("Cancel")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        ASSERT_TRUE(nbx::ui::InstallTranslationsFor(app, c.locale));
        EXPECT_EQ(LoadString(212), c.nodeNotFound);
        EXPECT_EQ(nbx::ui::Tr("&File"), c.file);
        EXPECT_EQ(LoadString(511), c.stateUnknown);
        // The device kinds read the same in every language, also the one that shares its
        // English text with the node state.
        EXPECT_EQ(LoadString(810), "Unknown");
        EXPECT_EQ(LoadString(816), "Workstation");
        // Formats keep working through the translation.
        EXPECT_NE(LoadString(401).find("%d"), std::string::npos);
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), c.qtCancel);
    }
}

// The window program picks the language from the environment it was started with.
TEST_F(TranslationsTest, SystemLocaleFromTheEnvironment) {
    if (qEnvironmentVariableIsSet("NBX_TRANSLATIONS_CHILD")) {
        nbx::ui::InstallTranslations(*QCoreApplication::instance());
        EXPECT_EQ(LoadString(212), qgetenv("NBX_TRANSLATIONS_CHILD").toStdString());
        return;
    }
    struct Case {
        const char* lang;
        const char* expected;
    } const cases[] = {
        {"ja_JP.UTF-8", "指定されたノードが見つかりませんでした。"},
        {"zh_CN.UTF-8", "未找到指定的节点！"},
        {"en_US.UTF-8", "Specified node was not found!"},
    };
    for (const auto& c : cases) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("LANGUAGE"));
        env.remove(QStringLiteral("LC_MESSAGES"));
        env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(c.lang));
        env.insert(QStringLiteral("LANG"), QString::fromLatin1(c.lang));
        env.insert(QStringLiteral("NBX_TRANSLATIONS_CHILD"), QString::fromUtf8(c.expected));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=TranslationsTest.SystemLocaleFromTheEnvironment")});
        ASSERT_TRUE(child.waitForFinished(60000)) << c.lang;
        const std::string output = child.readAll().toStdString();
        EXPECT_EQ(child.exitCode(), 0) << c.lang << "\n" << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    }
}

TEST_F(TranslationsTest, EveryTextIsTranslatedWithItsPlaceholders) {
    const QString uiContext = QStringLiteral("NbxUi");
    for (const char* language : {"ja", "zh_CN"}) {
        SCOPED_TRACE(language);
        const TsFile ts = ReadTs(QStringLiteral(NBX_TRANSLATIONS_DIR "/nimbexshell_%1.ts")
                                     .arg(QString::fromLatin1(language)));
        std::vector<std::pair<QString, QString>> expected;  // context, source
        QMap<QPair<QString, QString>, bool> used;
        const auto check = [&](const QString& context, const QString& source,
                               const QString& comment) {
            const auto key = qMakePair(source, comment);
            const auto it = ts.value(context).constFind(key);
            if (it == ts.value(context).constEnd()) {
                ADD_FAILURE() << "no translation of \"" << source.toStdString() << "\" in "
                              << context.toStdString();
                return QString();
            }
            used[qMakePair(context + QChar(u'\x1f') + comment, source)] = true;
            EXPECT_TRUE(it->finished) << source.toStdString();
            EXPECT_FALSE(it->translation.isEmpty()) << source.toStdString();
            EXPECT_EQ(Placeholders(it->translation), Placeholders(source))
                << source.toStdString() << " -> " << it->translation.toStdString();
            EXPECT_EQ(HasAccelerator(it->translation), HasAccelerator(source))
                << source.toStdString() << " -> " << it->translation.toStdString();
            return it->translation;
        };
        for (int id : TableIds()) {
            const QString source = QString::fromUtf8(English(id));
            const QString translation =
                check(QStringLiteral("NbxStrings"), source,
                      IsDeviceKind(id) ? QStringLiteral("device kind") : QString());
            if (IsDeviceKind(id)) {
                EXPECT_EQ(translation, source) << id;
            }
        }
        // The size rule of the list reads the unit of these two back.
        EXPECT_EQ(ts.value("NbxStrings").value({"%d KB", ""}).translation, "%d KB");
        EXPECT_EQ(ts.value("NbxStrings").value({"%d B", ""}).translation, "%d B");
        for (const char* text : nbx::ui::kUiTexts) {
            check(uiContext, QString::fromUtf8(text), QString());
        }
        // Nothing stale: every message of the file is a text of the program.
        for (auto context = ts.constBegin(); context != ts.constEnd(); ++context) {
            for (auto it = context->constBegin(); it != context->constEnd(); ++it) {
                EXPECT_TRUE(used.contains(
                    qMakePair(context.key() + QChar(u'\x1f') + it.key().second, it.key().first)))
                    << "stale: " << context.key().toStdString() << " \""
                    << it.key().first.toStdString() << "\"";
            }
        }
    }
}

}  // namespace
