// The image lists and the rows on a screen scaled by 2: pictures at device resolution with a
// device-pixel ratio of 2, shown at their logical size.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <vector>

#include "shell/terrapane_app.h"
#include "support/explorer_fixture.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "widgets/list_view.h"
#include "widgets/ui_events.h"

namespace {

// Before the program's QApplication is made (its main is the test support's); ctest sets it too.
const bool kScaledScreen = [] { return ::setenv("QT_SCALE_FACTOR", "2", 1) == 0; }();

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

// Red and blue columns one device pixel wide, at whatever resolution it is asked for, as a
// scalable theme icon is drawn: blurred or doubled pictures lose the stripes.
class StripesEngine : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        painter->drawPixmap(rect, pixmap(rect.size(), QIcon::Normal, QIcon::Off));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        QImage image(size, QImage::Format_ARGB32);
        for (int x = 0; x < size.width(); ++x) {
            for (int y = 0; y < size.height(); ++y) {
                image.setPixel(x, y, x % 2 == 0 ? kRed : kBlue);
            }
        }
        return QPixmap::fromImage(image);
    }
    QIconEngine* clone() const override { return new StripesEngine; }
};

QIcon StripedIcon() {
    return QIcon(new StripesEngine);
}

// The box of the striped pixels in a picture, and whether they alternate one device pixel wide.
struct Stripes {
    QRect box;
    bool sharp = true;
};
Stripes FindStripes(const QImage& image) {
    Stripes found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y) | 0xff000000u;
            if (pixel == kRed || pixel == kBlue) {
                found.box = found.box.united(QRect(x, y, 1, 1));
            }
        }
    }
    for (int y = found.box.top(); y <= found.box.bottom(); ++y) {
        for (int x = found.box.left(); x <= found.box.right(); ++x) {
            const QRgb expected = (x - found.box.left()) % 2 == 0 ? kRed : kBlue;
            if ((image.pixel(x, y) | 0xff000000u) != expected) {
                found.sharp = false;
            }
        }
    }
    return found;
}

void ExpectDeviceSized(const QPixmap& pixmap, QSize logical) {
    EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), 2.0);
    EXPECT_EQ(pixmap.size(), logical * 2);
    EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), logical);
}

TEST(ImageListAtTwo, KeepsPicturesAtDeviceResolution) {
    ASSERT_TRUE(kScaledScreen);
    ASSERT_DOUBLE_EQ(qGuiApp->devicePixelRatio(), 2.0);
    ImageList small(QSize(16, 16));
    EXPECT_EQ(small.Size(), QSize(16, 16));  // logical pixels
    small.Add(StripedIcon().pixmap(small.Size()));
    ExpectDeviceSized(small.At(0), QSize(16, 16));
    Stripes stripes = FindStripes(small.At(0).toImage());
    EXPECT_EQ(stripes.box, QRect(0, 0, 32, 32));
    EXPECT_TRUE(stripes.sharp);

    // A picture made at another size or ratio is fitted, not shown doubled or halved.
    QPixmap plain(16, 16);
    plain.fill(Qt::green);
    small.Add(plain);
    ExpectDeviceSized(small.At(1), QSize(16, 16));
    EXPECT_EQ(small.At(1).toImage().pixel(31, 31), qRgb(0, 255, 0));
    QPixmap wide(200, 100);
    wide.fill(Qt::green);
    small.Replace(1, wide);
    ExpectDeviceSized(small.At(1), QSize(16, 16));
    EXPECT_EQ(small.At(1).toImage().pixel(16, 16), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(small.At(1).toImage().pixel(16, 2)), 0);

    // The extra-large icon centred on a thumbnail, and a picture stretched over one.
    const QPixmap centred = ImageList::CentredIcon(StripedIcon(), QSize(32, 32), QSize(48, 48));
    ExpectDeviceSized(centred, QSize(48, 48));
    stripes = FindStripes(centred.toImage());
    EXPECT_EQ(stripes.box, QRect(16, 16, 64, 64));
    EXPECT_TRUE(stripes.sharp);
    const QPixmap thumbnail =
        ImageList::Stretched(StripedIcon().pixmap(QSize(96, 96), 1.0).toImage(), QSize(48, 48));
    ExpectDeviceSized(thumbnail, QSize(48, 48));
    stripes = FindStripes(thumbnail.toImage());
    EXPECT_EQ(stripes.box, QRect(0, 0, 96, 96));
    EXPECT_TRUE(stripes.sharp);
}

TEST(ImageListAtTwo, RowsShowThePicturesAtTheLogicalSize) {
    ImageList small(QSize(16, 16));
    ImageList large(QSize(32, 32));
    small.Add(StripedIcon().pixmap(small.Size()));
    large.Add(StripedIcon().pixmap(large.Size()));
    SListView list;
    list.InsertColumn(0, "Name", 200);
    list.InsertRow(-1, "striped", 0, 0);
    list.SetImageLists(&small, &large);
    list.resize(300, 200);
    list.show();
    for (const auto& [style, logical] :
         {std::pair(SListView::Style::kDetails, 16), std::pair(SListView::Style::kIcons, 32)}) {
        SCOPED_TRACE(logical);
        list.SetStyle(style);
        const QPixmap shot = list.grab();
        EXPECT_DOUBLE_EQ(shot.devicePixelRatio(), 2.0);
        const Stripes stripes = FindStripes(shot.toImage());
        EXPECT_EQ(stripes.box.size(), QSize(logical, logical) * 2);
        EXPECT_TRUE(stripes.sharp);
    }
}

class ScaledExplorerTest : public nbx::test::ExplorerTest {};

TEST_F(ScaledExplorerTest, TheNodeListsIconsAreMadeForTheScreen) {
    StartApp();
    CTerraPaneView& view = *View();
    struct Case {
        int command;
        QSize logical;
    };
    for (const Case& c : {Case{nbx::ui::ID_VIEW_ICONS, QSize(32, 32)},
                          Case{nbx::ui::ID_VIEW_DETAILS, QSize(16, 16)},
                          Case{nbx::ui::ID_VIEW_LARGE_ICONS, QSize(48, 48)}}) {
        SCOPED_TRACE(c.command);
        Frame()->Action(c.command)->trigger();
        QAbstractItemView* items = view.CurrentItemView();
        EXPECT_EQ(items->iconSize(), c.logical);
        int shown = 0;
        for (int row = 0; row < items->model()->rowCount(); ++row) {
            const QVariant decoration = items->model()->index(row, 0).data(Qt::DecorationRole);
            if (!decoration.isNull()) {
                ExpectDeviceSized(decoration.value<QPixmap>(), c.logical);
                ++shown;
            }
        }
        EXPECT_EQ(shown, 2);  // the two entries that add a configuration
    }
}

}  // namespace
