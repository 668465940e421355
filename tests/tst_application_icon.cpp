// #20: the program's own icon, drawn as vectors at every size.
#include "support/test_suite.h"
#include "widgets/app_icon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <cstdlib>

namespace tst_application_icon {

using quadtherm::widgets::applicationIcon;
using quadtherm::widgets::paintApplicationIcon;

namespace {

// T1 to T4 as the panel shows them.
const QList<QColor> kChannelColours = {QColor(0x38, 0xbd, 0xf8), QColor(0x4a, 0xde, 0x80),
                                       QColor(0xfb, 0xbf, 0x24), QColor(0xc0, 0x84, 0xfc)};

QImage drawn(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintApplicationIcon(painter, side);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool near(QRgb pixel, const QColor& colour) {
    return qAlpha(pixel) == 255 && std::abs(qRed(pixel) - colour.red()) <= 8 &&
           std::abs(qGreen(pixel) - colour.green()) <= 8 &&
           std::abs(qBlue(pixel) - colour.blue()) <= 8;
}

// Where a colour shows, as the mean column of its pixels; -1 where it does not.
double meanColumnOf(const QImage& image, const QColor& colour) {
    qint64 sum = 0, count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixel(x, y), colour)) {
                sum += x;
                ++count;
            }
    return count == 0 ? -1 : double(sum) / double(count);
}

} // namespace

class TestApplicationIcon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachChannelShowsInItsColourFromLeftToRight_data() {
        QTest::addColumn<int>("side");
        for (int side : {16, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%d px", side) << side;
    }
    void eachChannelShowsInItsColourFromLeftToRight() {
        QFETCH(int, side);
        const QImage image = drawn(side);
        double previous = -1;
        for (const QColor& colour : kChannelColours) {
            const double column = meanColumnOf(image, colour);
            QVERIFY2(column > previous, qPrintable(colour.name()));
            previous = column;
        }
    }

    void tileFillsTheMiddleAndLeavesTheCornersClear_data() {
        eachChannelShowsInItsColourFromLeftToRight_data();
    }
    void tileFillsTheMiddleAndLeavesTheCornersClear() {
        QFETCH(int, side);
        const QImage image = drawn(side);
        const int last = side - 1;
        for (QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
        for (int y = side / 8; y < side - side / 8; ++y)
            QCOMPARE(qAlpha(image.pixel(side / 2, y)), 255);
    }

    void windowIconIsTheSameDrawing() {
        const QIcon icon = applicationIcon();
        QVERIFY(!icon.isNull());
        for (int side : {16, 48, 256}) {
            QImage fromIcon = icon.pixmap(QSize(side, side)).toImage();
            QCOMPARE(fromIcon.convertToFormat(QImage::Format_ARGB32), drawn(side));
        }
    }
};

QUADTHERM_TEST_SUITE(TestApplicationIcon, Gui)

} // namespace tst_application_icon

#include "tst_application_icon.moc"
