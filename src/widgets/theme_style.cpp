#include "widgets/theme_style.h"

#include "widgets/theme.h"
#include "widgets/vector_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>

namespace quadtherm::widgets {

namespace {

// Each sign is a filled shape with a mark cut in the panel's dark face,
// drawn on the 24-unit square of every vector icon.
void drawMark(QPainter& p, QStyle::StandardPixmap icon) {
    QPen pen(theme::kPanelFace, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (icon) {
    case QStyle::SP_MessageBoxInformation:
        p.drawLine(QPointF(12, 11), QPointF(12, 17.5));
        p.setPen(Qt::NoPen);
        p.setBrush(theme::kPanelFace);
        p.drawEllipse(QPointF(12, 7), 1.7, 1.7);
        break;
    case QStyle::SP_MessageBoxWarning:
        p.drawLine(QPointF(12, 9), QPointF(12, 14.5));
        p.setPen(Qt::NoPen);
        p.setBrush(theme::kPanelFace);
        p.drawEllipse(QPointF(12, 18.2), 1.6, 1.6);
        break;
    case QStyle::SP_MessageBoxCritical:
        p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
        p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
        break;
    case QStyle::SP_MessageBoxQuestion: {
        QPainterPath hook;
        hook.moveTo(8.8, 9.4);
        hook.cubicTo(8.8, 5.6, 15.2, 5.6, 15.2, 9.4);
        hook.cubicTo(15.2, 12.0, 12.0, 12.0, 12.0, 14.6);
        p.drawPath(hook);
        p.setPen(Qt::NoPen);
        p.setBrush(theme::kPanelFace);
        p.drawEllipse(QPointF(12, 18.3), 1.6, 1.6);
        break;
    }
    default:
        break;
    }
}

void drawSign(QPainter& p, QStyle::StandardPixmap icon, const QColor& face) {
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    if (icon == QStyle::SP_MessageBoxWarning) {
        QPainterPath triangle;
        triangle.moveTo(12, 2.5);
        triangle.lineTo(22.5, 21);
        triangle.lineTo(1.5, 21);
        triangle.closeSubpath();
        p.setPen(QPen(face, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(triangle);
    } else {
        p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
    }
    drawMark(p, icon);
}

} // namespace

QIcon messageSign(QStyle::StandardPixmap icon) {
    QColor face;
    switch (icon) {
    case QStyle::SP_MessageBoxInformation:
        face = theme::kCyan;
        break;
    case QStyle::SP_MessageBoxWarning:
        face = theme::kAmber;
        break;
    case QStyle::SP_MessageBoxCritical:
        face = theme::kRed;
        break;
    case QStyle::SP_MessageBoxQuestion:
        face = theme::kGreen;
        break;
    default:
        return {};
    }
    return vectorIcon([icon, face](QPainter& p, QIcon::Mode) { drawSign(p, icon, face); },
                      QStringLiteral("messageSign"));
}

ThemeStyle::ThemeStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int ThemeStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QIcon ThemeStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                               const QWidget* widget) const {
    if (QIcon sign = messageSign(icon); !sign.isNull())
        return sign;
    return QProxyStyle::standardIcon(icon, option, widget);
}

QPixmap ThemeStyle::standardPixmap(StandardPixmap icon, const QStyleOption* option,
                                   const QWidget* widget) const {
    if (QIcon sign = messageSign(icon); !sign.isNull()) {
        const int side = pixelMetric(PM_MessageBoxIconSize, option, widget);
        return sign.pixmap(side);
    }
    return QProxyStyle::standardPixmap(icon, option, widget);
}

} // namespace quadtherm::widgets
