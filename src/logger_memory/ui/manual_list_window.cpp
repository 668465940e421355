#include "logger_memory/ui/manual_list_window.h"

#include "recording/ui/listing_printer.h"

#include "logger_memory/memory_dump.h"
#include "logger_memory/memory_figures.h"
#include "shared/view_state.h"
#include "widgets/grid.h"
#include "widgets/key_toolbar.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace quadtherm::logger_memory {

namespace {

constexpr int kShownManualRows = 12;

} // namespace

ManualListWindow::ManualListWindow(shared::WindowState& windows, widgets::UserDialogs& dialogs,
                                   recording::MainTimers liveTimer, QWidget* parent)
    : QWidget(parent, Qt::Window), m_windows(windows), m_dialogs(dialogs),
      m_liveTimer(std::move(liveTimer)) {
    setObjectName(QStringLiteral("ManualList"));
    setWindowTitle(QStringLiteral("Manual Record"));
    Toolbar1 = widgets::makeKeyToolbar(this, {{"Print", "Print", widgets::kImagePrint}, {"Erase", "Erase", 14}},
                                       [this](const QString& key) { Toolbar1_ButtonClick(key); });
    Grid = new widgets::Grid(6, this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->horizontalHeader()->setStretchLastSection(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(Toolbar1);
    column->addWidget(Grid, 1);
    Form_Load();
}

void ManualListWindow::Form_Load() {
    if (QWidget* main = parentWidget())
        move(main->frameGeometry().topLeft());
    const QStringList headings = manualHeadingCells();
    const QString letterAndReading = QStringLiteral("AAAAAAAA");
    const QStringList samples{QStringLiteral("AAAA"), QStringLiteral("AAAA/AA/AAAA:AA:AA"),
                              letterAndReading,       letterAndReading,
                              letterAndReading,       letterAndReading};
    int width = 2 * Grid->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int col = 0; col < Grid->Cols(); ++col) {
        Grid->setTextAt(0, col, headings[col]);
        Grid->setColumnWidthFromSample(col, samples[col]);
        width += Grid->columnWidth(col);
    }
    Grid->setRows(1);
    resize(width, Toolbar1->sizeHint().height() + Grid->horizontalHeader()->sizeHint().height() +
                      kShownManualRows * Grid->verticalHeader()->defaultSectionSize() +
                      2 * Grid->frameWidth());
}

void ManualListWindow::appendReading(const QStringList& cells) {
    Grid->AddItem(cells.join(u'\t'));
}

QAction* ManualListWindow::toolbarAction(const QString& key) const {
    return widgets::findKeyAction(Toolbar1, key);
}

void ManualListWindow::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("Print"))
        print();
    else if (key == QLatin1String("Erase"))
        Q_EMIT eraseRequested();
}

void ManualListWindow::print() {
    if (m_liveTimer.stop)
        m_liveTimer.stop();
    const auto restart = qScopeGuard([this] {
        if (m_liveTimer.start)
            m_liveTimer.start();
    });
    QPrinter printer(QPrinter::HighResolution);
    if (!m_dialogs.print(this, printer))
        return;
    if (printTo(printer))
        return;
    const QString where = printer.outputFileName().isEmpty()
                              ? printer.printerName()
                              : QFileInfo(printer.outputFileName()).absoluteFilePath();
    m_dialogs.message(this,
                      QStringLiteral("The manual readings could not be printed to %1.").arg(where),
                      QString(), widgets::UserDialogs::Icon::Critical);
}

bool ManualListWindow::printTo(QPrinter& printer) const {
    int blank = 0, row = 0;
    bool ruleDue = false;
    return recording::printLines(printer, [&]() -> std::optional<QString> {
        if (blank < kManualListingBlankLines) {
            ++blank;
            return QString();
        }
        if (ruleDue) {
            ruleDue = false;
            return manualListingRule();
        }
        if (row >= Grid->Rows())
            return std::nullopt;
        QStringList cells;
        for (int col = 0; col < Grid->Cols(); ++col)
            cells.append(Grid->textAt(row, col));
        ruleDue = row++ == 0;
        return manualListingLine(cells);
    });
}

void ManualListWindow::closeEvent(QCloseEvent* event) {
    m_windows.ManualListOpen = false;
    event->accept();
    Q_EMIT closed();
}

} // namespace quadtherm::logger_memory
