// quadtherm-icon-render OUTDIR: writes the application icon into OUTDIR as
// the desktop's icon theme lays it out, hicolor/scalable/apps/quadtherm.svg
// and hicolor/NxN/apps/quadtherm.png, from the drawing the window icon uses.
// Run at build time; not installed.
#include "widgets/app_icon.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int kPngSizes[] = {16, 32, 48, 64, 128, 256};
// The scalable drawing is the detailed one; the small sizes have their PNGs.
constexpr int kSvgSize = 256;

bool writePng(const QDir& root, int side) {
    const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(side);
    if (!root.mkpath(dir))
        return false;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        quadtherm::widgets::paintApplicationIcon(painter, side);
    }
    return image.save(root.filePath(dir + QStringLiteral("/quadtherm.png")), "PNG");
}

bool writeSvg(const QDir& root) {
    const QString dir = QStringLiteral("hicolor/scalable/apps");
    if (!root.mkpath(dir))
        return false;
    QSvgGenerator svg;
    svg.setFileName(root.filePath(dir + QStringLiteral("/quadtherm.svg")));
    svg.setSize(QSize(kSvgSize, kSvgSize));
    svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
    svg.setTitle(QStringLiteral("QuadTherm"));
    svg.setDescription(QStringLiteral("Four thermometers, one per channel"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    quadtherm::widgets::paintApplicationIcon(painter, kSvgSize);
    return painter.end();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quadtherm-icon-render OUTDIR\n");
        return 1;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    bool ok = writeSvg(root);
    for (int side : kPngSizes)
        ok = writePng(root, side) && ok;
    if (!ok)
        std::fprintf(stderr, "quadtherm-icon-render: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
