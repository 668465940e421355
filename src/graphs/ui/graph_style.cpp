#include "graphs/ui/graph_style.h"

#include "widgets/theme.h"

#include <qcustomplot.h>

#include <algorithm>

namespace quadtherm::graphs {

namespace {

struct Colours {
    QColor background, area, axis, grid, subGrid, label, text;
};

Colours coloursOf(GraphLook look) {
    if (look == GraphLook::Paper)
        return {Qt::white,
                Qt::white,
                QColor(0x33, 0x33, 0x33),
                QColor(0xd0, 0xd0, 0xd0),
                QColor(0xec, 0xec, 0xec),
                QColor(0x33, 0x33, 0x33),
                Qt::black};
    return {QColor(0x23, 0x28, 0x2e), QColor(0x15, 0x18, 0x1c), QColor(0x7d, 0x86, 0x8f),
            QColor(0x33, 0x3a, 0x42), QColor(0x26, 0x2c, 0x33), widgets::theme::kMuted,
            widgets::theme::kText};
}

} // namespace

QColor traceColor(int channel, GraphLook look) {
    const auto& colours = widgets::theme::kChannelColors;
    const QColor colour = colours[size_t(std::clamp(channel, 0, int(colours.size()) - 1))];
    return look == GraphLook::Paper ? colour.darker(165) : colour;
}

void applyGraphLook(QCustomPlot& plot, GraphLook look) {
    const Colours c = coloursOf(look);
    plot.setBackground(c.background);
    for (QCPAxisRect* rect : plot.axisRects()) {
        rect->setBackground(c.area);
        for (QCPAxis* axis : rect->axes()) {
            axis->setBasePen(QPen(c.axis, 1));
            axis->setTickPen(QPen(c.axis, 1));
            axis->setSubTickPen(QPen(c.axis, 1));
            axis->setTickLabelColor(c.label);
            axis->setLabelColor(c.label);
            axis->grid()->setPen(QPen(c.grid, 1));
            axis->grid()->setSubGridPen(QPen(c.subGrid, 1, Qt::DotLine));
            axis->grid()->setZeroLinePen(Qt::NoPen);
        }
    }
    for (int i = 0; i < plot.plotLayout()->elementCount(); ++i)
        if (auto* text = qobject_cast<QCPTextElement*>(plot.plotLayout()->elementAt(i)))
            text->setTextColor(c.text);
    if (QCPLegend* legend = plot.legend) {
        legend->setBrush(look == GraphLook::Paper ? QBrush(Qt::white)
                                                  : QBrush(QColor(0x23, 0x28, 0x2e, 0xe0)));
        legend->setBorderPen(QPen(c.axis, 1));
        legend->setTextColor(c.text);
        for (int i = 0; i < legend->itemCount(); ++i)
            legend->item(i)->setTextColor(c.text);
    }
}

QString paperStyleSheet() {
    // The group boxes keep the screen's geometry, so nothing moves on paper.
    return QStringLiteral(
        "QWidget { background: white; color: black; }"
        "QGroupBox { color: black; border: 1px solid #999999; border-radius: 4px; "
        "margin-top: 10px; padding-top: 4px; font-weight: bold; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 3px; }"
        "QGroupBox#FrmGraphic { border: none; }"
        "QLabel { color: black; background: transparent; }"
        "QAbstractSpinBox, QComboBox, QPlainTextEdit, QLineEdit { color: black; "
        "background: white; border: 1px solid #999999; }"
        "QPushButton, QCheckBox { color: black; }");
}

} // namespace quadtherm::graphs
