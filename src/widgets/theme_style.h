#pragma once

#include <QProxyStyle>

namespace quadtherm::widgets {

// Fusion with the program's manners: message boxes show flat vector signs in
// the theme's colours instead of the desktop's bitmaps, and dialog buttons
// carry their words alone, with no tick or cross pictures.
class ThemeStyle final : public QProxyStyle {
public:
    ThemeStyle();

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override;
    QPixmap standardPixmap(StandardPixmap icon, const QStyleOption* option,
                           const QWidget* widget) const override;
};

// The sign a message box shows for `icon`, or a null icon for a pixmap the
// style leaves to Fusion.
QIcon messageSign(QStyle::StandardPixmap icon);

} // namespace quadtherm::widgets
