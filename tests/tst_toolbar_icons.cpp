#include "support/test_suite.h"
#include "widgets/toolbar_icons.h"

#include <QImage>
#include <QPixmap>
#include <QTest>

namespace tst_toolbar_icons {

using quadtherm::widgets::toolbarImage;

namespace {

const QList<int> kListed = {1, 2, 3, 4, 5, 11, 12, 13, 14, 16, 17, 18, 19};

int visiblePixels(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

// Brightness as seen over a black toolbar: colour weighted by coverage.
qint64 glow(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    qint64 sum = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            sum += qGray(argb.pixel(x, y));
    return sum;
}

bool borderIsClear(const QImage& image) {
    const int last = image.width() - 1;
    for (int i = 0; i <= last; ++i)
        if (qAlpha(image.pixel(i, 0)) || qAlpha(image.pixel(i, last)) ||
            qAlpha(image.pixel(0, i)) || qAlpha(image.pixel(last, i)))
            return false;
    return true;
}

} // namespace

class TestToolbarIcons : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listedImagesDrawAtEverySize_data() {
        QTest::addColumn<int>("index");
        for (int index : kListed)
            QTest::addRow("image %d", index) << index;
    }
    void listedImagesDrawAtEverySize() {
        QFETCH(int, index);
        const QIcon icon = toolbarImage(index);
        QVERIFY(!icon.isNull());
        QVERIFY(icon.pixmap(QSize(0, 0)).isNull());
        for (int side : {16, 24, 48}) {
            const QPixmap pixmap = icon.pixmap(QSize(side, side));
            QCOMPARE(pixmap.size(), QSize(side, side));
            // A stroke-drawn symbol covers far more than a stray pixel or two.
            QVERIFY2(visiblePixels(pixmap.toImage()) > side * side / 10,
                     qPrintable(QString::number(side)));
        }
        const QPixmap sharp = icon.pixmap(QSize(24, 24), 2.0);
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        QImage sharpPixels = sharp.toImage();
        sharpPixels.setDevicePixelRatio(1.0);
        QCOMPARE(sharpPixels, icon.pixmap(QSize(48, 48)).toImage());
        QVERIFY2(borderIsClear(sharpPixels), "drawing reaches the edge and would be clipped");
        const QImage disabled = icon.pixmap(QSize(24, 24), QIcon::Disabled).toImage();
        QVERIFY(glow(disabled) < glow(icon.pixmap(QSize(24, 24)).toImage()) * 2 / 3);
    }

    void unlistedIndicesGiveNullIcons_data() {
        QTest::addColumn<int>("index");
        for (int index : {-1, 0, 6, 10, 15, 20, 1000})
            QTest::addRow("image %d", index) << index;
    }
    void unlistedIndicesGiveNullIcons() {
        QFETCH(int, index);
        QVERIFY(toolbarImage(index).isNull());
    }

    void everyImageLooksDifferent() {
        for (int side : {16, 24}) {
            QList<QImage> images;
            for (int index : kListed)
                images.append(toolbarImage(index).pixmap(QSize(side, side)).toImage());
            for (qsizetype a = 0; a < images.size(); ++a)
                for (qsizetype b = a + 1; b < images.size(); ++b)
                    QVERIFY2(images[a] != images[b],
                             qPrintable(QString::asprintf("%d and %d at %d px", kListed[a],
                                                          kListed[b], side)));
        }
    }
};

QUADTHERM_TEST_SUITE(TestToolbarIcons, Gui)

} // namespace tst_toolbar_icons

#include "tst_toolbar_icons.moc"
