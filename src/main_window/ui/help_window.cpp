#include "main_window/ui/help_window.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quadtherm::main_window {

namespace {

constexpr int kIconSide = 24;

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 11pt; padding-top: 6px;"));
    return label;
}

void addLines(QGridLayout* grid, const std::vector<HelpLine>& lines, QWidget* parent) {
    for (const HelpLine& line : lines) {
        const int row = grid->rowCount();
        if (!line.icon.isNull()) {
            auto* image = new QLabel(parent);
            image->setPixmap(line.icon.pixmap(QSize(kIconSide, kIconSide),
                                              parent->devicePixelRatioF()));
            grid->addWidget(image, row, 0, Qt::AlignTop);
        }
        auto* name = new QLabel(line.name, parent);
        name->setStyleSheet(QStringLiteral("font-weight: bold;"));
        grid->addWidget(name, row, 1, Qt::AlignTop);
        auto* where = new QLabel(line.where, parent);
        where->setWordWrap(true);
        where->setProperty("role", QStringLiteral("helpText"));
        grid->addWidget(where, row, 2, Qt::AlignTop);
        if (!line.shortcut.isEmpty()) {
            auto* keys = new QLabel(line.shortcut.toString(QKeySequence::NativeText), parent);
            keys->setProperty("role", QStringLiteral("keyCap"));
            grid->addWidget(keys, row, 3, Qt::AlignTop | Qt::AlignRight);
        }
    }
}

} // namespace

HelpWindow::HelpWindow(const std::vector<HelpLine>& toolbar,
                       const std::vector<HelpLine>& keyboard, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(QStringLiteral("QuadTherm Help"));
    setModal(false);
    setStyleSheet(QStringLiteral(
        "QLabel[role=\"helpText\"] { color: #9aa4ad; }"
        "QLabel[role=\"keyCap\"] { color: #e6e9ec; background: #2b3036; border: 1px solid "
        "#4b535c; border-radius: 4px; padding: 1px 6px; font-family: monospace; }"));

    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(7);
    grid->setColumnStretch(2, 1);
    grid->addWidget(heading(QStringLiteral("The toolbar"), page), 0, 0, 1, 4);
    addLines(grid, toolbar, page);
    grid->addWidget(heading(QStringLiteral("Keys"), page), grid->rowCount(), 0, 1, 4);
    addLines(grid, keyboard, page);
    grid->setRowStretch(grid->rowCount(), 1);

    auto* scroll = new QScrollArea(this);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(scroll, 1);
    column->addWidget(buttons);
    resize(620, 640);
}

} // namespace quadtherm::main_window
