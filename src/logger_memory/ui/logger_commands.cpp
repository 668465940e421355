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

// A dump's progress as the windows show it: each time its text changes,
// `show` runs on the windows' thread with the new text.
meter_link::MeterProtocol::Progress progressTo(session::Exchange& exchange,
                                               std::function<void(const QString&)> show) {
    return [&exchange, show = std::move(show), shown = QString()](qint64 received,
                                                                  qint64 total) mutable {
        QString text = progressText(received, total);
        if (text == shown)
            return;
        shown = text;
        exchange.toWindows([show, text] { show(text); });
    };
}

} // namespace

LoggerCommands::LoggerCommands(session::SessionClient& client, shared::ViewState& view,
                               widgets::UserDialogs& dialogs, QWidget* window, QWidget* picLogger,
                               QWidget* picErase)
    : QObject(window), m_client(client), m_view(view), m_dialogs(dialogs), m_window(window),
      m_picLogger(picLogger), m_picErase(picErase) {
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
    connect(CmdLoggerOK, &QPushButton::clicked, this, &LoggerCommands::CmdLoggerOK_Click);
    m_picLogger->installEventFilter(this);
}

void LoggerCommands::buildErasePanel() {
    optionFrame(QStringLiteral("Erase"), m_picErase, EraseAuto, EraseManual, "EraseAuto",
                "EraseManual", CmdEraseOK, "CmdEraseOK");
    connect(CmdEraseOK, &QPushButton::clicked, this, &LoggerCommands::CmdEraseOK_Click);
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

void LoggerCommands::tell(QWidget* parent, const QString& text) {
    m_dialogs.message(parent ? parent : m_window, text, QString(), Icon::Exclamation);
}

void LoggerCommands::CmdLoggerOK_Click() {
    if (OptAuto->isChecked())
        automaticDownload();
    else
        manualDownload();
}

MemoryWindow* LoggerCommands::openMemoryWindow(const MemoryStatus& status) {
    if (m_memory)
        m_memory->deleteLater();
    m_sets = {};
    auto* memory = new MemoryWindow(m_view.windows, m_window);
    m_memory = memory;
    memory->setAttribute(Qt::WA_DeleteOnClose);
    connect(memory, &MemoryWindow::cancelRequested, this, [this] { m_client.cancelDump(); });
    connect(memory, &MemoryWindow::setClicked, this, &LoggerCommands::GridSet_Click);
    connect(memory, &MemoryWindow::eraseRequested, this, [this] {
        erase(m_memory, meter_link::kEraseRecordSets);
        if (m_memory)
            m_memory->close();
    });
    const int sizeCode = status.MemorySizeCode;
    memory->LblSize->setText(memorySizeText(sizeCode));
    memory->LblRemain->setText(freeMemoryText(status.MemoryPointer, sizeCode, status.MemoryFull));
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
    auto& windows = m_view.windows;
    m_picLogger->hide();
    if (windows.MemoryFormOpen) {
        // Nothing else happens, but the window open is brought to the front.
        if (m_memory) {
            m_memory->raise();
            m_memory->activateWindow();
        }
        return;
    }
    const QString what = QStringLiteral("The memory download");
    if (const QString note = m_client.refusalNow(what); !note.isEmpty()) {
        m_client.note(note);
        return;
    }
    windows.MemoryFormOpen = true;
    auto lease = m_client.lease(what, session::pollAndCyclePaused(), true,
                                QStringLiteral("downloading its memory"));
    m_download = lease;
    lease->onRefused([this] {
        m_view.windows.MemoryFormOpen = false;
        m_download.reset();
    });
    lease->exchange(
        [](session::Exchange& exchange) {
            return readMemoryStatusCopy(exchange.protocol, exchange.state);
        },
        this,
        [this, lease](const MemoryStatus& status) {
            if (!status.read)
                return; // the program is closing
            if (status.MemoryPointer <= kDataAreaStart) {
                m_dialogs.message(m_window, QStringLiteral("No Data in Memory"), QString(),
                                  Icon::Information);
                lease->release();
                m_view.windows.MemoryFormOpen = false;
                m_download.reset();
                return;
            }
            downloadSets(lease, openMemoryWindow(status));
        });
}

void LoggerCommands::downloadSets(const std::shared_ptr<session::SessionClient::Lease>& lease,
                                  QPointer<MemoryWindow> window) {
    lease->exchange(
        [window](session::Exchange& exchange) {
            return downloadRecordSets(exchange.protocol,
                                      progressTo(exchange, [window](const QString& text) {
                                          if (window)
                                              window->LblMessage->setText(text);
                                      }));
        },
        this,
        [this, lease, window](const SetsDownload& download) {
            setsArrived(lease, window, download);
        });
}

void LoggerCommands::setsArrived(const std::shared_ptr<session::SessionClient::Lease>& lease,
                                 QPointer<MemoryWindow> window, const SetsDownload& download) {
    if (download.end == DumpEnd::Stopped)
        return; // the program is closing
    m_sets = download.walk;
    // A window the user closed stopped the download; it shows nothing more.
    if (window && !window->isVisible())
        window = nullptr;
    if (window)
        listSets(*window, download);
    settle(lease, download.end, download.received, download.expected);
    m_picLogger->hide();
    if (window)
        reportDownloadEnd(window, download);
}

void LoggerCommands::settle(const std::shared_ptr<session::SessionClient::Lease>& lease,
                            DumpEnd end, qint64 received, qint64 expected) {
    // The meter may still be sending the rest of a dump cut short: the
    // session drains it while the list and the message are shown here, and
    // the timers run again once the line is the meter's readings again.
    lease->exchange(
        [end, received, expected](session::Exchange& exchange) {
            settleAfterDump(exchange.protocol, exchange.state, end, received, expected);
        },
        this,
        [this, lease] {
            lease->release();
            if (m_download == lease)
                m_download.reset();
        });
}

void LoggerCommands::reportDownloadEnd(MemoryWindow* window, const SetsDownload& download) {
    if (!download.complete()) {
        QString text = unfinishedText(download.end, download.received, download.expected);
        if (!m_sets.sets.isEmpty())
            text += QStringLiteral(" The record sets that arrived whole are listed.");
        tell(window, text);
    } else if (download.damaged()) {
        tell(window, damageText(m_sets));
    }
}

void LoggerCommands::GridSet_Click(int setNumber) {
    if (setNumber < 1 || setNumber > m_sets.sets.size())
        return;
    const RecordSet set = m_sets.sets[setNumber - 1];
    // The live poll and the cycle rest while the list fills.
    const auto paused = m_client.pause(session::pollAndCyclePaused());
    if (m_dataList)
        m_dataList->close();
    auto* list =
        new recording::DataListWindow(m_view.save, session::typeLetters(m_client.mirror().channels),
                                      m_dialogs, recording::mainTimersOf(m_client), m_window);
    m_dataList = list;
    list->setAttribute(Qt::WA_DeleteOnClose);
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
}

bool LoggerCommands::erase(QWidget* parent, quint8 kind) {
    // A meter that cannot take it is not asked about first.
    const QString what = QStringLiteral("The erase");
    if (const QString note = m_client.refusalNow(what); !note.isEmpty()) {
        m_client.note(note);
        return false;
    }
    const QString text =
        QStringLiteral("All the %1 data in memory will be deleted!")
            .arg(kind == meter_link::kEraseRecordSets ? QStringLiteral("Automatically Recorded")
                                                      : QStringLiteral("Manually Recorded"));
    if (m_dialogs.message(parent ? parent : m_window, text, QStringLiteral("Warning"),
                          Icon::Exclamation,
                          QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    // Only the live poll pauses; the cycle comes back with the next stable tick.
    session::Pausing pausing = session::pollPaused();
    m_client.exchange(
        what, pausing, [kind](session::Exchange& exchange) { exchange.protocol.eraseMemory(kind); },
        this, [] {});
    return true;
}

void LoggerCommands::CmdEraseOK_Click() {
    erase(m_window,
          EraseAuto->isChecked() ? meter_link::kEraseRecordSets : meter_link::kEraseManualReadings);
    m_picErase->hide();
}

void LoggerCommands::manualDownload() {
    m_picLogger->hide();
    const QString what = QStringLiteral("The manual readings download");
    if (const QString note = m_client.refusalNow(what); !note.isEmpty()) {
        m_client.note(note);
        return;
    }
    // Only the live poll comes back at the end; the cycle waits for the
    // next tick that finds the channels stable.
    session::Pausing pausing = session::pollAndCyclePaused();
    pausing.cycleAfter = session::SessionTimer::Resume::Disable;
    auto lease =
        m_client.lease(what, pausing, true, QStringLiteral("downloading its manual readings"));
    m_download = lease;
    lease->onRefused([this] { m_download.reset(); });
    lease->exchange(
        [](session::Exchange& exchange) {
            exchange.protocol.discardInput();
            const bool read = exchange.protocol.QueryStatus();
            return read ? std::optional<qint16>(exchange.state.link.ManualCount) : std::nullopt;
        },
        this,
        [this, lease](std::optional<qint16> count) {
            if (!count)
                return; // the program is closing
            if (*count == 0) {
                m_dialogs.message(m_window, QStringLiteral("No Manually Recroded Data in Memoy!"),
                                  QString(), Icon::Information);
                lease->release();
                m_download.reset();
                return;
            }
            openManualList(lease);
        });
}

void LoggerCommands::openManualList(const std::shared_ptr<session::SessionClient::Lease>& lease) {
    auto& windows = m_view.windows;
    if (windows.ManualListOpen && m_manual)
        m_manual->close();
    windows.ManualListOpen = true;
    auto* manual = new ManualListWindow(
        windows, m_dialogs, recording::mainTimersOf(m_client, session::pollPaused()), m_window);
    m_manual = manual;
    manual->setAttribute(Qt::WA_DeleteOnClose);
    connect(manual, &ManualListWindow::eraseRequested, this, [this] {
        erase(m_manual, meter_link::kEraseManualReadings);
        if (m_manual)
            m_manual->close();
    });
    // Closing the list while its readings arrive stops the download.
    connect(manual, &ManualListWindow::closed, this, [this, lease] {
        if (m_download == lease)
            m_client.cancelDump();
    });
    const QString caption = manual->windowTitle();
    manual->show();

    QPointer<ManualListWindow> window = manual;
    lease->exchange(
        [window](session::Exchange& exchange) {
            return downloadManualReadings(exchange.protocol, exchange.state,
                                          progressTo(exchange, [window](const QString& text) {
                                              if (window)
                                                  window->setWindowTitle(text);
                                          }));
        },
        this,
        [this, lease, window, caption](const ManualDownload& download) {
            manualReadingsArrived(lease, window, caption, download);
        });
}

void LoggerCommands::manualReadingsArrived(
    const std::shared_ptr<session::SessionClient::Lease>& lease, QPointer<ManualListWindow> window,
    const QString& caption, const ManualDownload& download) {
    if (download.end == DumpEnd::Stopped)
        return;
    if (window && !window->isVisible())
        window = nullptr;
    if (window)
        window->setWindowTitle(caption);
    settle(lease, download.end, download.received, download.expected);
    const auto& rows = download.readings.rows;
    for (qsizetype k = 0; k < rows.size() && window; ++k) {
        window->appendReading(rows[k]);
        window->setWindowTitle(QStringLiteral("%1 Records Completed").arg(k + 1));
        QCoreApplication::processEvents();
    }
    if (window)
        window->setWindowTitle(caption);
    m_picLogger->hide();
    if (!download.complete() && window)
        tell(window, unfinishedText(download.end, download.received, download.expected));
}

} // namespace quadtherm::logger_memory
