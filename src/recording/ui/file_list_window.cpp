#include "recording/ui/file_list_window.h"
#include "widgets/key_toolbar.h"
#include "widgets/toolbar_icons.h"

#include "recording/data_file_writer.h"
#include "recording/ui/list_window.h"
#include "recording/ui/listing_printer.h"
#include "session/session_client.h"
#include "shared/view_state.h"
#include "widgets/caption_progress.h"
#include "widgets/grid.h"
#include "widgets/grid_model.h"
#include "widgets/user_dialogs.h"

#include <QCoreApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QToolBar>

#include <algorithm>
#include <limits>

namespace quadtherm::recording {

namespace {

const QString kCaption = QStringLiteral("Saved File");

// The record lines of a loaded file as grid rows: row r is line r + 1.
class FileRows final : public widgets::GridSource {
public:
    explicit FileRows(std::shared_ptr<const DataFileLines> lines) : m_lines(std::move(lines)) {}
    int rows() const override {
        return int(std::clamp<qsizetype>(m_lines->count() - 1, 0, std::numeric_limits<int>::max()));
    }
    QString cell(int row, int col) const override { return m_lines->value(row + 1, col); }
    QString rowText(int row, int columns) const override {
        const SixValues values = m_lines->values(row + 1);
        return QStringList(values.begin(), values.begin() + std::min(columns, kDataFileColumns))
            .join(QLatin1Char('\t'));
    }
    QStringList cutCells(int row, int columns, qsizetype most) const override {
        const SixValues values = m_lines->cutValues(row + 1, most);
        return QStringList(values.begin(), values.begin() + std::min(columns, kDataFileColumns));
    }

private:
    std::shared_ptr<const DataFileLines> m_lines;
};
// T1's column; T4's is the last.
constexpr int kFirstChannelColumn = 2;
// Rows converted between caption updates and event passes.
constexpr int kLoadBatch = 20000;

} // namespace

MainTimers mainTimersOf(session::SessionClient& client, const session::Pausing& pausing) {
    auto held = std::make_shared<std::unique_ptr<session::SessionClient::Pause>>();
    return {[&client, held, pausing] {
                if (!*held)
                    *held = client.pause(pausing);
            },
            [held] { held->reset(); }};
}

FileListWindow::FileListWindow(const shared::WindowState& windows,
                               shared::PerChannel<QString> typeLetters,
                               widgets::UserDialogs& dialogs, MainTimers timers, QWidget* parent)
    : QWidget(parent, Qt::Window), m_viewUnit(windows.ViewUnit),
      m_typeLetters(std::move(typeLetters)), m_dialogs(dialogs), m_timers(std::move(timers)) {
    setObjectName(QStringLiteral("FileList"));
    setWindowTitle(kCaption);
    Toolbar1 = widgets::makeKeyToolbar(
        this, {{"Plot", "Plot", 5},
               {"Ln", "Histogram", widgets::kImageHistogram},
               {"Print", "Print", widgets::kImagePrint}},
        [this](const QString& key) { Toolbar1_ButtonClick(key); });
    GridN = list_windows::makeReadingsGrid(QStringLiteral("GridN"), this);
    list_windows::layOut(this, Toolbar1, {GridN});
    connect(GridN, &widgets::Grid::gridClicked, this, &FileListWindow::GridN_Click);
    Form_Load();
}

void FileListWindow::Form_Load() {
    list_windows::setReadingsHeading(*GridN, m_viewUnit, m_typeLetters);
    GridN->setRows(1);
}

void FileListWindow::showLines(std::shared_ptr<const DataFileLines> lines) {
    if (!lines || lines->count() == 0)
        return;
    setHeading(lines->values(0));
    m_lines = lines;
    GridN->setSource(std::make_shared<FileRows>(std::move(lines)));
}

void FileListWindow::setHeading(const SixValues& heading) {
    for (int col = 0; col < kDataFileColumns; ++col)
        GridN->setTextAt(0, col, heading[col]);
}

void FileListWindow::appendRows(const QList<QByteArray>& rows) {
    m_lines.reset(); // the grid holds more than the lines now
    GridN->appendLatin1Rows(rows);
}

QAction* FileListWindow::toolbarAction(const QString& key) const {
    return widgets::findKeyAction(Toolbar1, key);
}

void FileListWindow::Toolbar1_ButtonClick(const QString& key) {
    if (m_busy)
        return;
    if (key == QLatin1String("Print"))
        printListing(*GridN, this, m_dialogs, m_timers);
    else if (key == QLatin1String("Plot"))
        plotFile();
    else if (key == QLatin1String("Ln"))
        showHistogram();
}

std::shared_ptr<const DataFileLines> FileListWindow::shownLines() const {
    if (m_lines)
        return m_lines;
    QByteArray text;
    for (int row = 0; row < GridN->Rows(); ++row)
        text += dataFileLine(GridN->rowText(row).split(QLatin1Char('\t')));
    return std::make_shared<DataFileLines>(std::move(text));
}

void FileListWindow::plotFile() {
    if (filePlotHook)
        filePlotHook(windowTitle(), shownLines());
}

std::optional<int> FileListWindow::chooseHistogramColumn() {
    if (GridN->Rows() < 2) {
        // No records: no column has readings to show.
        m_dialogs.message(this,
                          QStringLiteral("Click a channel column (T1 to T4) first: \"Histogram\" "
                                         "shows the distribution of its readings."),
                          {}, widgets::UserDialogs::Icon::Information);
        return std::nullopt;
    }
    widgets::UserDialogs::Choice choice;
    choice.title = QStringLiteral("Histogram");
    choice.objectName = QStringLiteral("HistogramColumn");
    for (int col = kFirstChannelColumn; col < kDataFileColumns; ++col) {
        const QString heading = GridN->textAt(0, col);
        const int channel = col - kFirstChannelColumn + 1;
        choice.options.append(heading.isEmpty() ? QStringLiteral("T%1").arg(channel) : heading);
        choice.optionNames.append(QStringLiteral("OptT%1").arg(channel));
    }
    choice.current = m_histogramChoice;
    choice.offset = QPoint(40, 60);
    const auto chosen = m_dialogs.choose(this, choice);
    if (!chosen || *chosen < 0 || *chosen >= choice.options.size())
        return std::nullopt;
    m_histogramChoice = *chosen;
    return kFirstChannelColumn + *chosen;
}

void FileListWindow::showHistogram() {
    int col = GridN->Col();
    if (col < kFirstChannelColumn || col >= kDataFileColumns) {
        // No channel column clicked: offer the four rather than sending the
        // user through a click, which opens a plot on top.
        const auto chosen = chooseHistogramColumn();
        if (!chosen)
            return;
        col = *chosen;
    }
    if (!histogramHook)
        return;
    std::vector<double> readings;
    readings.reserve(size_t(std::max(GridN->Rows() - 1, 0)));
    qsizetype notReadings = 0;
    for (int row = 1; row < GridN->Rows(); ++row) {
        if (const auto value = graphs::readingValue(GridN->textAt(row, col)))
            readings.push_back(*value);
        else
            ++notReadings;
    }
    const bool celsius = isCelsiusHeading(GridN->textAt(0, 0));
    histogramHook({GridN->textAt(0, col), shared::unitText(!celsius),
                   graphs::histogramOf(readings, notReadings)});
}

void FileListWindow::GridN_Click(int /*row*/, int col) {
    if (col < 2 || col >= kDataFileColumns || m_busy)
        return;
    PlotRequest previous;
    previous.PlotYMax = PlotYMax;
    previous.PlotYMin = PlotYMin;
    PlotRequest request = plotRequestFor(col, GridN->textAt(0, 0), GridN->textAt(0, col), previous);
    PlotTag = request.PlotTag;
    PlotYMax = request.PlotYMax;
    PlotYMin = request.PlotYMin;
    request.values = loadColumn(col);
    if (plotHook)
        plotHook(request);
}

void FileListWindow::loadFile(DataFileReader& reader, const QString& name) {
    QPointer<FileListWindow> window = this;
    widgets::CaptionProgress progress(this, QStringLiteral(" completed"), 1,
                                      widgets::CaptionProgress::Events::All);
    progress.keepCaption();
    const LoadedDataFile file = reader.read([&](qsizetype lines) {
        progress.show(lines);
        return window && window->isVisible();
    });
    if (!window || file.cancelled || !file.error.isEmpty())
        return;
    showLines(file.lines);
    // The rows before a line that is no data line are shown; the caption
    // says where the reading stopped rather than keeping the line count,
    // which looked like a load that had stalled.
    if (!file.malformedLine)
        setWindowTitle(name);
    else
        setWindowTitle(QStringLiteral("%1 (line %2 is not a data line)")
                           .arg(name)
                           .arg(*file.malformedLine + 1));
}

QVector<float> FileListWindow::loadColumn(int col) {
    m_busy = true;
    if (m_timers.stop)
        m_timers.stop();
    const auto restart = qScopeGuard([&] {
        if (m_timers.start)
            m_timers.start();
        m_busy = false;
    });
    widgets::CaptionProgress progress(this, QStringLiteral(" Completed"), kLoadBatch,
                                      widgets::CaptionProgress::Events::WithoutInput);
    QVector<float> values;
    values.reserve(GridN->Rows() - 1);
    for (int row = 1; row < GridN->Rows(); ++row) {
        values.append(plotValue(GridN->textAt(row, col)));
        progress.step(row);
    }
    return values;
}

} // namespace quadtherm::recording
