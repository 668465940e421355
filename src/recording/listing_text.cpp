#include "recording/listing_text.h"

namespace quadtherm::recording {

QString listingLine(const QStringList& six) {
    QString line;
    line.reserve(64);
    for (std::size_t col = 0; col < kListingWidths.size(); ++col) {
        const QString cell = six.value(qsizetype(col));
        line += cell.rightJustified(kListingWidths[col], QLatin1Char(' '));
    }
    return line;
}

QString listingRule() {
    return QLatin1Char(' ') + QString(62, QLatin1Char('-'));
}

QString listingPrinterNote() {
    return QStringList{
        QStringLiteral("Note"),
        QStringLiteral("The effect of the properties of the Printer settings"),
        QStringLiteral("depends on the driver supplied by the printer manufacturer."),
        QStringLiteral("Some property settings may have no effect, or several different "
                       "property settings"),
        QStringLiteral("may all have the same effect. Settings outside the accepted range may "
                       "or may not produce an error."),
        QStringLiteral("For more information, see the manufacturer's documentation for the "
                       "specific driver."),
    }
        .join(QLatin1Char('\r'));
}

} // namespace quadtherm::recording
