#pragma once

#include <QWidget>

class QLabel;
class QTimer;

namespace quadtherm::main_window {
class AlarmControl;
}

namespace quadtherm::main_window {

// The main window's bottom bar: the port label `LblCOM` (a click on it
// toggles the window's caption) and the recording indicators `LblRec`,
// `LblCount` and `LblFileName`.
class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // The link's label: the port while it is up, "No COM" while it is rebuilt.
    void showLink(const QString& text, bool up);
    // A recording to the file started (its name shown, the whole path in the
    // tool tip), or ended; how it ended stays in `LblNote` until the next
    // one starts.
    void recordingStarted(const QString& path);
    void recordingEnded(const QString& note);
    // How long the recording has run.
    void showElapsed(const QString& text);
    // The intervals in use ("PC 1 s · meter 2 s").
    void showInterval(const QString& text);
    // What to check while no meter answers; empty once it does.
    void showLinkHint(const QString& text);
    // After each recording cycle: the records written so far, or nothing
    // while no recording runs.
    void showRecordCount(bool recording, qint64 count);
    // A passing note (a command the meter refused) in `LblNote` for a few
    // seconds; then the note of the last recording's end again.
    void flashNote(const QString& text);
    // What holds the meter while a window's long work runs ("downloading its
    // memory"), in `LblBusy`; nothing once it is free.
    void showBusy(const QString& busyWith);
    // Publishing to an MQTT broker: `LblMqtt` says whether the broker holds
    // the connection, with the last note about it in its tool tip; each note
    // passes in `LblNote` too.
    void showMqttConnected(bool connected);
    void showMqttNote(const QString& note);

    QLabel* LblCOM = nullptr;
    QLabel* LblRec = nullptr;
    QLabel* LblCount = nullptr;
    QLabel* LblFileName = nullptr;
    QLabel* LblNote = nullptr;
    QLabel* LblBusy = nullptr;
    QLabel* LblInterval = nullptr;
    QLabel* LblElapsed = nullptr;
    QLabel* LblMqtt = nullptr;
    AlarmControl* BtnAlarm = nullptr;

Q_SIGNALS:
    void portLabelClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The note shown: a passing one while it lasts, else the link's hint,
    // else how the last recording ended.
    void showNote();

    QString m_flashNote;
    QString m_linkHint;
    QString m_lastingNote;
    QTimer* m_noteTimer = nullptr;
};

} // namespace quadtherm::main_window
