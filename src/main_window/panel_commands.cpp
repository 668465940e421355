// The main window's toolbar commands that record, open data files, set the
// sampling intervals and open the live list.

#include "main_window/panel.h"
#include "main_window/sampling.h"
#include "main_window/sampling_choice.h"
#include "main_window/toolbar_icons.h"
#include "recording/data_file.h"
#include "recording/file_list_window.h"
#include "recording/grid_writer.h"
#include "recording/list_window.h"
#include "widgets/user_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>

namespace quadtherm::main_window {

namespace {

using Icon = widgets::UserDialogs::Icon;

const QString kIntervalTitle = QStringLiteral("Input Sampling Time");
// How long the meter may take to frame its interval reply.
constexpr int kIntervalReadLimitMs = 5000;

QString intervalPrompt(int maximum) {
    return QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= %1 ) ").arg(maximum);
}

} // namespace

void Panel::startRecording() {
    if (!recording::runSaveDialog(m_dialogs, this, m_state.recording))
        return;
    const auto& live = m_state.live;
    QString error;
    if (!m_recorder.start(m_state.recording.SaveFilePath, live.MeterFahrenheit, live.TypeLetter,
                          &error)) {
        m_state.recording.SaveFileChosen = false;
        m_dialogs.message(this, error, {}, Icon::Critical);
        return;
    }
    LblFileName->setText(QFileInfo(m_state.recording.SaveFilePath).fileName());
    if (QAction* save = toolbarAction(QStringLiteral("Save"))) {
        save->setIcon(toolbarImage(16));
        save->setToolTip(QStringLiteral("Stop Recording"));
    }
    LblRec->setText(QStringLiteral("Rec."));
    LblRec->show();
}

void Panel::stopRecording() {
    m_recorder.stop();
    if (QAction* save = toolbarAction(QStringLiteral("Save"))) {
        save->setIcon(toolbarImage(1));
        save->setToolTip(QStringLiteral("Save As"));
    }
    LblRec->hide();
    LblCount->clear();
    LblFileName->clear();
}

void Panel::recordingFailed(const QString& error) {
    // A recording that cannot write must not go on showing "Rec".
    stopRecording();
    m_dialogs.message(this, QStringLiteral("Recording stopped.\r\n%1").arg(error), {},
                      Icon::Critical);
}

void Panel::recordCycle(const shared::PerChannel<QString>& textsC,
                        const shared::PerChannel<QString>& textsF) {
    auto& recording = m_state.recording;
    recording.CycleTimestamp = recording::recordTimestamp(m_protocol.clock().now());
    if (!recording.RecordingActive) {
        LblFileName->clear();
        LblCount->clear();
        LblRec->clear();
        recording.RecordedCount = 0;
    } else {
        QString error;
        if (m_recorder.record(recording.CycleTimestamp, textsC, textsF, &error)) {
            LblCount->setText(QString::number(recording.RecordedCount));
            LblRec->setText(QStringLiteral("Rec"));
        } else {
            recordingFailed(error);
        }
    }
    if (m_state.windows.ListOpen && m_list)
        m_list->ListFeed(recording.CycleTimestamp,
                         m_state.windows.ListFahrenheit ? textsF : textsC);
}

void Panel::openDataFile() {
    if (m_loadingFile)
        return;
    if (m_state.recording.RecordingActive) {
        m_dialogs.message(this, QStringLiteral("Recording Mode!\n\rPlease stop recording!"), {},
                          Icon::Critical);
        return;
    }
    const QString path = m_dialogs.openFile(this, recording::kDataFileFilter);
    if (path.isEmpty())
        return;
    // A pipe or a device would hang the read, and a huge file would fill the
    // memory: those are refused with a message. A file that cannot be opened
    // ends the command without one.
    recording::DataFileReader reader(path);
    if (!reader.refusal().isEmpty()) {
        m_dialogs.message(this, reader.refusal(), {}, Icon::Critical);
        return;
    }
    if (!reader.isOpen())
        return;
    if (m_fileList)
        m_fileList->deleteLater(); // each file opens in a fresh window
    m_fileList = new recording::FileListWindow(m_state, m_dialogs,
                                               {[this] { Timer1.stop(), Timer2.stop(); },
                                                [this] {
                                                    enable(Timer1);
                                                    enable(Timer2);
                                                }},
                                               this);
    m_fileList->show();
    Timer1.stop();
    Timer2.stop();
    m_loadingFile = true;
    const auto done = qScopeGuard([this] {
        m_loadingFile = false;
        enable(Timer1);
        enable(Timer2);
    });

    // Between blocks of the file the caption counts the lines and the window
    // stays responsive; closing it stops the load.
    QPointer<recording::FileListWindow> window = m_fileList;
    const recording::LoadedDataFile file = reader.read([&window](qsizetype lines) {
        window->setWindowTitle(QStringLiteral("%1 completed").arg(lines));
        QCoreApplication::processEvents();
        return window && window->isVisible();
    });
    if (!window || file.cancelled || !file.error.isEmpty())
        return;
    window->showLines(file.lines);
    if (file.malformedLine) {
        // Abandoned: the window keeps the lines before it.
        if (file.lines->count() > 0)
            window->setWindowTitle(QStringLiteral("%1 completed").arg(file.lines->count()));
        return;
    }
    window->setWindowTitle(QFileInfo(path).fileName());
}

void Panel::sampling() {
    const auto choice = samplingChooser ? samplingChooser() : [this]() -> std::optional<bool> {
        SamplingChoice dialog(m_state.recording.SamplingOnPc, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.samplingOnPc();
    }();
    if (choice)
        m_state.recording.SamplingOnPc = *choice;
    if (m_state.recording.SamplingOnPc)
        pcSampling();
    else
        runExchange([this] { meterSampling(); });
}

void Panel::pcSampling() {
    auto& recording = m_state.recording;
    for (;;) {
        const QString answer = m_dialogs.input(this, intervalPrompt(kPcIntervalMax), kIntervalTitle,
                                               QString::number(recording.PcSamplingSeconds));
        if (answer.isEmpty())
            return;
        if (isMemorySizeCode(answer)) {
            runExchange([this] { memorySizeService(); });
            return;
        }
        // Anything but a number asks again.
        if (const auto seconds = intervalFromAnswer(answer, kPcIntervalMax)) {
            recording.PcSamplingSeconds = static_cast<float>(*seconds);
            recording.PcSamplingTick = 0;
            enable(Timer1);
            return;
        }
    }
}

void Panel::meterSampling() {
    auto& recording = m_state.recording;
    Timer1.stop();
    const auto restart = qScopeGuard([this] {
        if (!m_protocol.stopped())
            enable(Timer1);
    });
    // The meter repeats its interval request until a framed reply comes; a
    // meter that never frames one must not hold the window for ever.
    m_protocol.setGiveUpAfter(kIntervalReadLimitMs);
    const auto current = m_protocol.readMeterInterval();
    m_protocol.setGiveUpAfter(-1);
    if (!current)
        return;
    recording.MeterSamplingSeconds = *current;
    for (;;) {
        const QString answer =
            m_dialogs.input(this, intervalPrompt(kMeterIntervalMax), kIntervalTitle,
                            QString::number(recording.MeterSamplingSeconds));
        if (answer.isEmpty())
            return;
        if (isMemorySizeCode(answer)) {
            memorySizeService();
            return;
        }
        if (const auto seconds = intervalFromAnswer(answer, kMeterIntervalMax)) {
            m_protocol.setMeterInterval(*seconds);
            recording.MeterSamplingSeconds = *seconds;
            return;
        }
    }
}

void Panel::memorySizeService() {
    Timer1.stop();
    Timer2.stop();
    const auto restart = qScopeGuard([this] {
        if (!m_protocol.stopped()) {
            enable(Timer1);
            enable(Timer2);
        }
    });
    m_protocol.readAllWaiting();
    const auto code = m_protocol.readMemorySize();
    if (!code)
        return;
    m_state.recording.MemorySizeCode = *code;
    const QString answer =
        m_dialogs.input(this, QStringLiteral("Update Rom No.s\r\n(Rom No.s = 1,2,4,8) "),
                        QStringLiteral("Input Rom No.s"), QString::number(*code));
    const int size = memorySizeFromAnswer(answer);
    if (size != 0)
        m_protocol.setMemorySize(size);
}

void Panel::openList() {
    auto& windows = m_state.windows;
    if (windows.ListOpen)
        return;
    windows.ListUnit = m_state.live.UnitText;
    windows.ListFahrenheit = m_state.live.MeterFahrenheit;
    windows.ListRowCount = 0;
    m_list = new recording::ListWindow(m_state, m_dialogs, this);
    m_list->setAttribute(Qt::WA_DeleteOnClose);
    m_list->move(geometry().topLeft() + QPoint(40, 60));
    m_list->show();
    windows.ListOpen = true;
}

void Panel::closeList() {
    if (m_list)
        m_list->close(); // its close marks the list closed
    m_state.windows.ListOpen = false;
}

} // namespace quadtherm::main_window
