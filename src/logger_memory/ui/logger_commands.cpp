#include "logger_memory/ui/logger_commands.h"

#include "logger_memory/memory_download.h"
#include "logger_memory/memory_figures.h"
#include "logger_memory/ui/manual_list_window.h"
#include "logger_memory/ui/memory_window.h"
#include "meter_link/meter_keys.h"
#include "recording/ui/data_list_window.h"
#include "widgets/grid.h"
#include "widgets/key_toolbar.h"
#include "widgets/user_dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace quadtherm::logger_memory {

namespace {

using Icon = widgets::UserDialogs::Icon;

// Records handed to the downloaded-data list between two looks at the event loop.
constexpr qsizetype kFillBatch = 10000;

const QString kAutomaticData = QStringLiteral("Automatically Recorded Data");
const QString kManualData = QStringLiteral("Manually Recorded Data");

QGroupBox* optionFrame(const QString& title, QWidget* popup, QRadioButton*& first,
                       QRadioButton*& second, const char* firstName, const char* secondName,
                       QPushButton*& ok, const char* okName) {
    popup->setProperty("role", "popup");
    auto* frame = new QGroupBox(title, popup);
    first = new QRadioButton(kAutomaticData, frame);
    second = new QRadioButton(kManualData, frame);
    first->setObjectName(QLatin1String(firstName));
    second->setObjectName(QLatin1String(secondName));
    // Neither is chosen at first: OK then means the manual readings, so an
    // OK without a choice never downloads, or erases, the record sets.
    auto* options = new QVBoxLayout(frame);
    options->setContentsMargins(10, 8, 10, 8);
    options->addWidget(first);
    options->addWidget(second);
    ok = new QPushButton(QStringLiteral("OK"), popup);
    ok->setObjectName(QLatin1String(okName));
    ok->setAutoDefault(false);
    auto* row = new QHBoxLayout(popup);
    row->setContentsMargins(10, 6, 10, 10);
    row->addWidget(frame);
    row->addWidget(ok, 0, Qt::AlignBottom);
    return frame;
}

} // namespace

LoggerCommands::LoggerCommands(session::MeterSession& session, widgets::UserDialogs& dialogs,
                               QWidget* window, QWidget* picLogger, QWidget* picErase)
    : QObject(window), m_session(session), m_state(session.state()), m_protocol(session.protocol()),
      m_dialogs(dialogs), m_window(window), m_picLogger(picLogger), m_picErase(picErase) {
    buildLoggerPanel();
    buildErasePanel();
}

LoggerCommands::~LoggerCommands() = default;

MemoryWindow* LoggerCommands::memoryWindow() const {
    return m_memory;
}

ManualListWindow* LoggerCommands::manualList() const {
    return m_manual;
}

recording::DataListWindow* LoggerCommands::dataList() const {
    return m_dataList;
}

void LoggerCommands::buildLoggerPanel() {
    optionFrame(QStringLiteral("Load"), m_picLogger, OptAuto, OptManual, "OptAuto", "OptManual",
                CmdLoggerOK, "CmdLoggerOK");
    // A download talks to the meter: it waits for the live tick in progress.
    connect(CmdLoggerOK, &QPushButton::clicked, this,
            [this] { m_session.runExchange([this] { CmdLoggerOK_Click(); }); });
    m_picLogger->installEventFilter(this);
}

void LoggerCommands::buildErasePanel() {
    optionFrame(QStringLiteral("Erase"), m_picErase, EraseAuto, EraseManual, "EraseAuto",
                "EraseManual", CmdEraseOK, "CmdEraseOK");
    connect(CmdEraseOK, &QPushButton::clicked, this,
            [this] { m_session.runCommand([this] { CmdEraseOK_Click(); }); });
    m_picErase->installEventFilter(this);
}

bool LoggerCommands::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (watched == m_picLogger)
            place(m_picLogger, "Memory");
        else if (watched == m_picErase)
            place(m_picErase, "Erase");
    }
    return QObject::eventFilter(watched, event);
}

void LoggerCommands::place(QWidget* popup, const char* key) {
    // Under its toolbar key, kept inside the window.
    popup->adjustSize();
    QWidget* area = popup->parentWidget();
    int x = 8;
    if (auto* toolbar = m_window->findChild<QToolBar*>(QStringLiteral("Toolbar1")))
        if (QAction* action = widgets::findKeyAction(toolbar, QLatin1String(key)))
            if (QWidget* button = toolbar->widgetForAction(action))
                x = button->mapTo(m_window, QPoint(0, 0)).x();
    popup->move(qBound(0, x, qMax(0, area->width() - popup->width())), 6);
    popup->raise();
}

void LoggerCommands::restartTimers(bool both) {
    session::MeterSession::enable(m_session.Timer1);
    if (both)
        session::MeterSession::enable(m_session.Timer2);
}

void LoggerCommands::tellLater(QWidget* parent, const QString& text) {
    QPointer<QWidget> where = parent;
    m_session.later([this, where, text] {
        m_dialogs.message(where ? where.data() : m_window, text, QString(), Icon::Exclamation);
    });
}

void LoggerCommands::CmdLoggerOK_Click() {
    if (OptAuto->isChecked())
        automaticDownload();
    else
        manualDownload();
}

MemoryWindow* LoggerCommands::openMemoryWindow() {
    if (m_memory)
        m_memory->deleteLater();
    m_sets = {};
    auto* memory = new MemoryWindow(m_state, m_window);
    m_memory = memory;
    memory->setAttribute(Qt::WA_DeleteOnClose);
    connect(memory, &MemoryWindow::cancelRequested, this, [this] { m_protocol.cancelDump(); });
    connect(memory, &MemoryWindow::setClicked, this, [this](int number) {
        m_session.runCommand([this, number] { GridSet_Click(number); });
    });
    connect(memory, &MemoryWindow::eraseRequested, this, [this] {
        m_session.runCommand([this] {
            erase(m_memory, meter_link::kEraseRecordSets);
            if (m_memory)
                m_memory->close();
        });
    });
    const int sizeCode = m_state.recording.MemorySizeCode;
    memory->LblSize->setText(memorySizeText(sizeCode));
    memory->LblRemain->setText(
        freeMemoryText(m_state.link.MemoryPointer, sizeCode, m_state.live.MemoryFull));
    memory->setDownloading(true);
    memory->show();
    return memory;
}

void LoggerCommands::listSets(MemoryWindow& window, const SetsDownload& download) {
    window.setDownloading(false);
    QStringList rows;
    rows.reserve(m_sets.sets.size());
    for (const RecordSet& set : m_sets.sets)
        rows.append(setListCells(set).join(u'\t'));
    window.appendSetRows(rows);
    if (!download.complete())
        window.LblMessage->setText(QStringLiteral("Incomplete: stopped at %1%")
                                       .arg(percentText(download.received, download.expected)));
    else if (download.damaged())
        window.LblMessage->setText(damageFooter(m_sets, download.dataBytes()));
}

void LoggerCommands::automaticDownload() {
    auto& windows = m_state.windows;
    m_picLogger->hide();
    if (windows.MemoryFormOpen)
        return;
    windows.MemoryFormOpen = true;
    m_session.Timer1.stop();
    m_session.Timer2.stop();
    if (!readMemoryStatus(m_protocol, m_state))
        return; // the program is closing
    const auto& link = m_state.link;
    if (!holdsRecordSets(link)) {
        m_dialogs.message(m_window, QStringLiteral("No Data in Memory"), QString(),
                          Icon::Information);
        restartTimers(true);
        windows.MemoryFormOpen = false;
        return;
    }

    QPointer<MemoryWindow> window = openMemoryWindow();
    const SetsDownload download =
        downloadRecordSets(m_protocol, [window](qint64 received, qint64 total) {
            if (window)
                window->LblMessage->setText(progressText(received, total));
        });
    if (download.end == DumpEnd::Stopped)
        return; // the program is closing
    m_sets = download.walk;
    // A window the user closed stopped the download; it shows nothing more.
    if (window && !window->isVisible())
        window = nullptr;
    if (window)
        listSets(*window, download);
    if (!settleAfterDump(m_protocol, m_state, download.end, download.received, download.expected))
        return; // the program is closing
    restartTimers(true);
    m_picLogger->hide();

    if (window)
        reportDownloadEnd(window, download);
}

void LoggerCommands::reportDownloadEnd(MemoryWindow* window, const SetsDownload& download) {
    if (!download.complete()) {
        QString text = unfinishedText(download.end, download.received, download.expected);
        if (!m_sets.sets.isEmpty())
            text += QStringLiteral(" The record sets that arrived whole are listed.");
        tellLater(window, text);
    } else if (download.damaged()) {
        tellLater(window, damageText(m_sets));
    }
}

void LoggerCommands::GridSet_Click(int setNumber) {
    if (setNumber < 1 || setNumber > m_sets.sets.size())
        return;
    const RecordSet& set = m_sets.sets[setNumber - 1];
    m_session.Timer1.stop();
    m_session.Timer2.stop();
    if (m_dataList)
        m_dataList->close();
    auto* list = new recording::DataListWindow(m_state, m_dialogs,
                                               recording::mainTimersOf(m_session), m_window);
    m_dataList = list;
    list->setAttribute(Qt::WA_DeleteOnClose);
    widgets::setKeyRunner(list->Toolbar1, [this](std::function<void()> click) {
        m_session.runCommand(std::move(click));
    });
    const QString caption = list->windowTitle();
    list->show();

    // Decoded in one go; the rows go to the list in batches, each followed
    // by the percentage in the caption and one look at the event loop.
    const DecodedSet decoded = decodeSet(set);
    list->showFahrenheit(set.header.fahrenheit);
    list->setHeadings(decoded.headingC, decoded.headingF);
    const qsizetype count = decoded.rowsC.size();
    QPointer<recording::DataListWindow> shown = list;
    for (qsizetype first = 0; first < count && shown; first += kFillBatch) {
        const qsizetype n = std::min(kFillBatch, count - first);
        shown->appendLatin1Records(decoded.rowsC.mid(first, n), decoded.rowsF.mid(first, n));
        shown->setWindowTitle(percentText(first + n, count));
        QCoreApplication::processEvents();
    }
    if (shown)
        shown->setWindowTitle(caption);
    restartTimers(true);
}

bool LoggerCommands::erase(QWidget* parent, quint8 kind) {
    const QString text =
        QStringLiteral("All the %1 data in memory will be deleted!")
            .arg(kind == meter_link::kEraseRecordSets ? QStringLiteral("Automatically Recorded")
                                                      : QStringLiteral("Manually Recorded"));
    if (m_dialogs.message(parent ? parent : m_window, text, QStringLiteral("Warning"),
                          Icon::Exclamation,
                          QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    m_session.runExchange([this, kind] {
        m_session.Timer1.stop();
        m_protocol.eraseMemory(kind);
        if (!m_protocol.stopped())
            restartTimers(false);
    });
    return true;
}

void LoggerCommands::CmdEraseOK_Click() {
    erase(m_window,
          EraseAuto->isChecked() ? meter_link::kEraseRecordSets : meter_link::kEraseManualReadings);
    m_picErase->hide();
}

void LoggerCommands::manualDownload() {
    auto& windows = m_state.windows;
    m_picLogger->hide();
    m_session.Timer1.stop();
    m_session.Timer2.stop();
    m_protocol.discardInput();
    if (!m_protocol.QueryStatus())
        return; // the program is closing
    if (m_state.link.ManualCount == 0) {
        m_dialogs.message(m_window, QStringLiteral("No Manually Recroded Data in Memoy!"),
                          QString(), Icon::Information);
        restartTimers(false);
        return;
    }

    if (windows.ManualListOpen && m_manual)
        m_manual->close();
    windows.ManualListOpen = true;
    auto& timer1 = m_session.Timer1;
    auto* manual = new ManualListWindow(
        m_state, m_dialogs,
        {[&timer1] { timer1.stop(); }, [&timer1] { session::MeterSession::enable(timer1); }},
        m_window);
    m_manual = manual;
    manual->setAttribute(Qt::WA_DeleteOnClose);
    widgets::setKeyRunner(manual->Toolbar1, [this](std::function<void()> click) {
        m_session.runCommand(std::move(click));
    });
    connect(manual, &ManualListWindow::eraseRequested, this, [this] {
        erase(m_manual, meter_link::kEraseManualReadings);
        if (m_manual)
            m_manual->close();
    });
    // Closing the list while its readings arrive stops the download.
    const auto cancelOnClose =
        connect(manual, &ManualListWindow::closed, this, [this] { m_protocol.cancelDump(); });
    const QString caption = manual->windowTitle();
    manual->show();

    QPointer<ManualListWindow> window = manual;
    const ManualDownload download =
        downloadManualReadings(m_protocol, m_state, [window](qint64 received, qint64 total) {
            if (window)
                window->setWindowTitle(progressText(received, total));
        });
    disconnect(cancelOnClose);
    if (download.end == DumpEnd::Stopped)
        return; // the program is closing
    if (window && !window->isVisible())
        window = nullptr;
    if (window)
        window->setWindowTitle(caption);
    const auto& rows = download.readings.rows;
    for (qsizetype k = 0; k < rows.size() && window; ++k) {
        window->appendReading(rows[k]);
        window->setWindowTitle(QStringLiteral("%1 Records Completed").arg(k + 1));
        QCoreApplication::processEvents();
    }
    if (window)
        window->setWindowTitle(caption);
    if (!settleAfterDump(m_protocol, m_state, download.end, download.received, download.expected))
        return;
    restartTimers(false);
    m_picLogger->hide();
    if (!download.complete() && window)
        tellLater(window, unfinishedText(download.end, download.received, download.expected));
}

} // namespace quadtherm::logger_memory
