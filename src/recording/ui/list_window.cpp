#include "recording/ui/list_window.h"

#include "recording/data_file.h"
#include "recording/ui/grid_writer.h"
#include "shared/clock.h"
#include "shared/view_state.h"
#include "widgets/grid.h"
#include "widgets/key_toolbar.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace quadtherm::recording {

namespace list_windows {

namespace {

constexpr int kShownRows = 15;
// From the main window's top left corner, past its title bar and toolbar.
constexpr QPoint kOffsetFromMain(40, 80);

} // namespace

widgets::Grid* makeReadingsGrid(const QString& objectName, QWidget* window) {
    auto* grid = new widgets::Grid(kDataFileColumns, window);
    grid->setObjectName(objectName);
    const QString number = QStringLiteral("ABADEAA");
    const QString timestamp = QStringLiteral("AAAAA/AA/AAHH:NN:SS");
    for (int col = 0; col < kDataFileColumns; ++col)
        grid->setColumnWidthFromSample(col, col == 1 ? timestamp : number);
    // The last channel takes up what the window has spare, so no blank strip is left.
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

void setReadingsHeading(widgets::Grid& grid, const QString& unit,
                        const shared::PerChannel<QString>& typeLetters) {
    const QStringList cells = headingCells(unit, typeLetters);
    for (int col = 0; col < kDataFileColumns; ++col)
        grid.setTextAt(0, col, cells.value(col));
}

void layOut(QWidget* window, QToolBar* toolbar, std::initializer_list<widgets::Grid*> grids) {
    auto* column = new QVBoxLayout(window);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(toolbar);
    for (widgets::Grid* grid : grids)
        column->addWidget(grid, 1);

    const widgets::Grid& grid = **grids.begin();
    int width = 2 * grid.frameWidth() + grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int col = 0; col < grid.Cols(); ++col)
        width += grid.columnWidth(col);
    const int height = toolbar->sizeHint().height() + grid.horizontalHeader()->sizeHint().height() +
                       kShownRows * grid.verticalHeader()->defaultSectionSize() +
                       2 * grid.frameWidth();
    window->resize(width, height);
    if (QWidget* main = window->parentWidget())
        window->move(main->frameGeometry().topLeft() + kOffsetFromMain);
}

} // namespace list_windows

ListWindow::ListWindow(shared::ViewState& view, shared::PerChannel<QString> typeLetters,
                       widgets::UserDialogs& dialogs, shared::Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), m_view(view), m_typeLetters(std::move(typeLetters)),
      m_dialogs(dialogs), m_clock(clock), m_dumpEvery(kRecordsPerFile) {
    setObjectName(QStringLiteral("List"));
    setWindowTitle(QStringLiteral("List"));
    Toolbar1 = widgets::makeKeyToolbar(this, {{"Save", "Save As", widgets::kImageSaveFile},
                                              {"Print", "Print", widgets::kImagePrint, false}},
                                       [this](const QString& key) { Toolbar1_ButtonClick(key); });
    GridN = list_windows::makeReadingsGrid(QStringLiteral("GridN"), this);
    list_windows::layOut(this, Toolbar1, {GridN});
    Form_Load();
}

void ListWindow::Form_Load() {
    list_windows::setReadingsHeading(*GridN, m_view.windows.ListUnit, m_typeLetters);
    GridN->setRows(1);
}

QAction* ListWindow::toolbarAction(const QString& key) const {
    return widgets::findKeyAction(Toolbar1, key);
}

void ListWindow::setDumpEvery(int rows) {
    m_dumpEvery = qMax(1, rows);
}

void ListWindow::ListFeed(const QString& cycleTimestamp, const shared::PerChannel<QString>& texts) {
    const qint64 number = ++m_view.windows.ListRowCount;
    GridN->AddItem(recordCells(number, cycleTimestamp, texts).join(QLatin1Char('\t')));
    // From the eleventh row on every new row moves the view on by one: the
    // newest row stays in sight, and a user who scrolled back to read
    // earlier rows is not thrown forward to the newest ones.
    if (number > 10)
        GridN->setTopRow(GridN->TopRow() + 1);
    if (number % m_dumpEvery == 0)
        dump();
}

void ListWindow::dump() {
    // A bare name: the file goes to the working folder.
    const QString path = dumpFileName(m_clock.now());
    GridWriteOptions options;
    options.progressSuffix = QStringLiteral(" Records Completed");
    options.reportFailure = [this](const QString& message) { Q_EMIT dumpFailed(message); };
    // A list that could not be saved stays, so no reading is lost unseen.
    if (writeGrid(*GridN, kDataFileColumns - 1, GridN->Rows() - 1, path, this, m_dialogs, options))
        GridN->setRows(1);
}

void ListWindow::Toolbar1_ButtonClick(const QString& key) {
    if (key != QLatin1String("Save"))
        return;
    if (runSaveDialog(m_dialogs, this, m_view.save))
        writeGrid(*GridN, kDataFileColumns - 1, GridN->Rows() - 1, m_view.save.SaveFilePath, this,
                  m_dialogs);
}

void ListWindow::closeEvent(QCloseEvent* event) {
    m_view.windows.ListOpen = false;
    m_view.windows.ListRowCount = 0;
    event->accept();
    Q_EMIT closed();
}

} // namespace quadtherm::recording
