#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QTemporaryDir>

#include "widgets/icons.h"

namespace {

constexpr int kResources[] = {128, 151, 195, 196, 191, 193, 187, 188, 192, 189, 190, 194, 231};

// A theme of one icon, "phone", in a folder of the test's own.
class IconsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPaths_ = QIcon::themeSearchPaths();
        savedTheme_ = QIcon::themeName();
        ASSERT_TRUE(themes_.isValid());
        const QString theme = themes_.filePath(QStringLiteral("nbxtest"));
        ASSERT_TRUE(QDir().mkpath(theme + QStringLiteral("/scalable")));
        QFile index(theme + QStringLiteral("/index.theme"));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write(
            "[Icon Theme]\nName=nbxtest\nDirectories=scalable\n\n"
            "[scalable]\nSize=48\nMinSize=8\nMaxSize=512\nType=Scalable\n");
        index.close();
        ASSERT_TRUE(QFile::copy(QStringLiteral(":/icons/workstation.svg"),
                                theme + QStringLiteral("/scalable/phone.svg")));
        QIcon::setThemeSearchPaths({themes_.path()});
        UseTheme(QStringLiteral("nbx-no-such-theme"));
    }
    void TearDown() override {
        QIcon::setThemeSearchPaths(savedPaths_);
        UseTheme(savedTheme_);
    }
    static void UseTheme(const QString& name) {
        QIcon::setThemeName(name);
        nbx::ui::ClearIconCache();
    }

private:
    QTemporaryDir themes_;
    QStringList savedPaths_;
    QString savedTheme_;
};

TEST_F(IconsTest, DeviceKindsMapToTheirResources) {
    const int expected[] = {196, 191, 193, 187, 188, 192, 189, 190, 194, 231};
    for (int kind = 0; kind < 10; ++kind) {
        EXPECT_EQ(nbx::ui::DeviceIconResource(kind), expected[kind]) << kind;
    }
    EXPECT_EQ(nbx::ui::DeviceIconResource(-1), 196);
    EXPECT_EQ(nbx::ui::DeviceIconResource(10), 196);
}

TEST_F(IconsTest, WithoutThemeEveryResourceDrawsOurOwnPicture) {
    for (int resource : kResources) {
        SCOPED_TRACE(resource);
        const QIcon icon = nbx::ui::ResourceIcon(resource);
        ASSERT_FALSE(icon.isNull());
        EXPECT_TRUE(icon.name().isEmpty());  // not from a theme
        // Drawn: the resources are in the program and the SVG plugin is there.
        const QImage image = icon.pixmap(48, 48).toImage();
        ASSERT_FALSE(image.isNull());
        int painted = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                painted += image.pixelColor(x, y).alpha() > 0 ? 1 : 0;
            }
        }
        EXPECT_GT(painted, image.width() * image.height() / 10);
    }
    EXPECT_TRUE(nbx::ui::ResourceIcon(999).isNull());
    EXPECT_TRUE(nbx::ui::ResourceIconFile(999).isEmpty());
}

TEST_F(IconsTest, ThemeIconsWinWhereTheThemeHasThem) {
    UseTheme(QStringLiteral("nbxtest"));
    EXPECT_EQ(nbx::ui::ResourceIcon(191).name(), QStringLiteral("phone"));  // handset
    EXPECT_EQ(nbx::ui::ResourceIcon(187).name(), QStringLiteral("phone"));  // smartphone, 2nd
    // The legacy handset has no theme name, so it stays told apart from the handset.
    EXPECT_TRUE(nbx::ui::ResourceIcon(193).name().isEmpty());
    EXPECT_FALSE(nbx::ui::ResourceIcon(193).pixmap(48, 48).isNull());
}

TEST_F(IconsTest, FileIconsAndTypeNamesByName) {
    for (const char* name :
         {"photo.png", "notes.txt", "archive.tar.gz", "README", "data.nbx-unknown-extension"}) {
        EXPECT_FALSE(nbx::ui::FileIconForName(QString::fromLatin1(name)).isNull()) << name;
    }
    EXPECT_FALSE(nbx::ui::FileTypeNameForName(QStringLiteral("photo.png")).isEmpty());
    EXPECT_FALSE(nbx::ui::FileTypeNameForName(QStringLiteral("archive.tar.gz")).isEmpty());
    // Never from the contents: a file of that name need not exist.
    EXPECT_TRUE(
        nbx::ui::FileTypeNameForName(QStringLiteral("data.nbx-unknown-extension")).isEmpty());
    EXPECT_TRUE(nbx::ui::FileTypeNameForName(QStringLiteral("noextension")).isEmpty());
    EXPECT_FALSE(nbx::ui::FolderIcon().isNull());
    EXPECT_FALSE(nbx::ui::UpFolderIcon().isNull());
}

}  // namespace
