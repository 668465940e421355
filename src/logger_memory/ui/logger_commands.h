#pragma once

#include "logger_memory/memory_download.h"
#include "logger_memory/memory_dump.h"
#include "session/session_client.h"
#include "shared/view_state.h"

#include <QObject>
#include <QPointer>

class QPushButton;
class QRadioButton;
class QWidget;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::recording {
class DataListWindow;
}

namespace quadtherm::logger_memory {

class ManualListWindow;
class MemoryWindow;

// The main window's logger commands: the logger panel (PicLogger) and its
// two downloads, the Memory window with the sets found and the records of a
// chosen set in the downloaded-data list, the ManualList window, and the
// erase panel (PicErase). A download holds the meter for all its steps
// (the exchanges run on the session's thread, the windows and messages
// here between them) with the live timers paused as the meter's protocol
// asks; meanwhile the meter is busy for the other windows' commands.
class LoggerCommands : public QObject {
    Q_OBJECT
public:
    // `picLogger` and `picErase` are the main window's empty pop-up frames;
    // they are filled here.
    LoggerCommands(session::SessionClient& client, shared::ViewState& view,
                   widgets::UserDialogs& dialogs, QWidget* window, QWidget* picLogger,
                   QWidget* picErase);
    ~LoggerCommands() override;

    // The download chosen in PicLogger: OptAuto the record sets, otherwise
    // the manual readings.
    void CmdLoggerOK_Click();
    // Erases the memory chosen in PicErase: EraseAuto the record sets,
    // otherwise the manual readings.
    void CmdEraseOK_Click();

    QRadioButton* OptAuto = nullptr;
    QRadioButton* OptManual = nullptr;
    QPushButton* CmdLoggerOK = nullptr;
    QRadioButton* EraseAuto = nullptr;
    QRadioButton* EraseManual = nullptr;
    QPushButton* CmdEraseOK = nullptr;

    MemoryWindow* memoryWindow() const;
    ManualListWindow* manualList() const;
    recording::DataListWindow* dataList() const;
    // The record sets of the last automatic download.
    const SetWalk& sets() const { return m_sets; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLoggerPanel();
    void buildErasePanel();
    void place(QWidget* popup, const char* key);

    void automaticDownload();
    // A new Memory window showing the memory's size and free space, its
    // download under way.
    MemoryWindow* openMemoryWindow(const MemoryStatus& status);
    void downloadSets(const std::shared_ptr<session::SessionClient::Lease>& lease,
                      QPointer<MemoryWindow> window);
    void setsArrived(const std::shared_ptr<session::SessionClient::Lease>& lease,
                     QPointer<MemoryWindow> window, const SetsDownload& download);
    void listSets(MemoryWindow& window, const SetsDownload& download);
    // What the user must hear about a download that did not end well.
    void reportDownloadEnd(MemoryWindow* window, const SetsDownload& download);
    void manualDownload();
    void openManualList(const std::shared_ptr<session::SessionClient::Lease>& lease);
    void manualReadingsArrived(const std::shared_ptr<session::SessionClient::Lease>& lease,
                               QPointer<ManualListWindow> window, const QString& caption,
                               const ManualDownload& download);
    // The rest of a dump drained on the session's thread, then the lease ends.
    void settle(const std::shared_ptr<session::SessionClient::Lease>& lease, DumpEnd end,
                qint64 received, qint64 expected);
    void GridSet_Click(int setNumber);
    // The confirmation, then the erase frame; false when the user cancelled.
    bool erase(QWidget* parent, quint8 kind);
    void tell(QWidget* parent, const QString& text);

    session::SessionClient& m_client;
    shared::ViewState& m_view;
    widgets::UserDialogs& m_dialogs;
    QWidget* m_window;
    QWidget* m_picLogger;
    QWidget* m_picErase;
    SetWalk m_sets;
    QPointer<MemoryWindow> m_memory;
    QPointer<ManualListWindow> m_manual;
    QPointer<recording::DataListWindow> m_dataList;
    // The download in progress, if any.
    std::shared_ptr<session::SessionClient::Lease> m_download;
};

} // namespace quadtherm::logger_memory
