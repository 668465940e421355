#include "recording/ui/data_list_window.h"

#include "recording/data_file_writer.h"
#include "recording/ui/grid_writer.h"
#include "recording/ui/list_window.h"
#include "recording/ui/listing_printer.h"
#include "shared/reading_text.h"
#include "shared/view_state.h"
#include "widgets/grid.h"
#include "widgets/key_toolbar.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QToolBar>

namespace quadtherm::recording {

DataListWindow::DataListWindow(shared::SaveChoice& save, shared::PerChannel<QString> typeLetters,
                               widgets::UserDialogs& dialogs, MainTimers timers, QWidget* parent)
    : QWidget(parent, Qt::Window), m_save(save), m_typeLetters(std::move(typeLetters)),
      m_dialogs(dialogs), m_timers(std::move(timers)) {
    setObjectName(QStringLiteral("DataList"));
    setWindowTitle(QStringLiteral("Data List"));
    Toolbar1 = widgets::makeKeyToolbar(
        this, {{"Save", "Save As", widgets::kImageSaveFile},
               {"Print", "Print", widgets::kImagePrint},
               {"CF", "Celsius / Fahrenheit", 18}},
        [this](const QString& key) { Toolbar1_ButtonClick(key); });
    GridC = list_windows::makeReadingsGrid(QStringLiteral("GridC"), this);
    GridF = list_windows::makeReadingsGrid(QStringLiteral("GridF"), this);
    GridF->hide();
    list_windows::layOut(this, Toolbar1, {GridC, GridF});
    Form_Load();
}

void DataListWindow::Form_Load() {
    const auto& letters = m_typeLetters;
    list_windows::setReadingsHeading(*GridC, shared::unitText(false), letters);
    list_windows::setReadingsHeading(*GridF, shared::unitText(true), letters);
    clearRecords();
}

void DataListWindow::setHeadings(const SixValues& c, const SixValues& f) {
    for (int col = 0; col < kDataFileColumns; ++col) {
        GridC->setTextAt(0, col, c[col]);
        GridF->setTextAt(0, col, f[col]);
    }
}

void DataListWindow::appendRecord(const QStringList& cellsC, const QStringList& cellsF) {
    GridC->AddItem(cellsC.join(QLatin1Char('\t')));
    GridF->AddItem(cellsF.join(QLatin1Char('\t')));
}

void DataListWindow::appendRecords(const QStringList& rowsC, const QStringList& rowsF) {
    GridC->appendRows(rowsC);
    GridF->appendRows(rowsF);
}

void DataListWindow::appendLatin1Records(const QList<QByteArray>& rowsC,
                                         const QList<QByteArray>& rowsF) {
    GridC->appendLatin1Rows(rowsC);
    GridF->appendLatin1Rows(rowsF);
}

void DataListWindow::clearRecords() {
    GridC->setRows(1);
    GridF->setRows(1);
}

void DataListWindow::showFahrenheit(bool fahrenheit) {
    m_showF = fahrenheit;
    GridF->setVisible(m_showF);
    GridC->setVisible(!m_showF);
}

widgets::Grid* DataListWindow::visibleGrid() const {
    return m_showF ? GridF : GridC;
}

QAction* DataListWindow::toolbarAction(const QString& key) const {
    return widgets::findKeyAction(Toolbar1, key);
}

void DataListWindow::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("CF"))
        showFahrenheit(!m_showF);
    else if (key == QLatin1String("Save"))
        save();
    else if (key == QLatin1String("Print"))
        printListing(*visibleGrid(), this, m_dialogs, m_timers);
}

void DataListWindow::save() {
    if (!runSaveDialog(m_dialogs, this, m_save))
        return;
    const widgets::Grid& grid = *visibleGrid();
    // The rows there are now: the heading, then every record. The window
    // stays live; rows that arrive meanwhile are left for the next save.
    GridWriteOptions options;
    options.letEventsRun = true;
    writeGrid(grid, kDataFileColumns - 1, grid.Rows() - 1, m_save.SaveFilePath, this, m_dialogs,
              options);
}

} // namespace quadtherm::recording
