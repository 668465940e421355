#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace quadtherm::shared {
struct WindowState;
}

namespace quadtherm::widgets {
class Grid;
}

namespace quadtherm::logger_memory {

// The Memory window ("Data Logger"): the memory size, the free memory, the
// download's progress and the record sets found. A click on a set asks for
// its records; a click on the free memory asks to erase the record sets;
// Cancel (or Escape) asks to stop the download in progress.
class MemoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit MemoryWindow(shared::WindowState& windows, QWidget* parent = nullptr);

    // At the main window's corner, the set list's heading, MemoryFormOpen
    // set. The constructor runs it.
    void Form_Load();
    // Rows of the set list, each row's cells joined by TAB.
    void appendSetRows(const QStringList& rows);
    // While a download runs, Cancel shows beside the progress.
    void setDownloading(bool downloading);
    bool downloading() const { return m_downloading; }

    void GridSet_Click(int row);
    void LblRemain_Click();

    widgets::Grid* GridSet = nullptr;
    QLabel* SSPanel1 = nullptr;
    QLabel* LblSize = nullptr;
    QLabel* SSPanelRemain = nullptr;
    QLabel* LblRemain = nullptr;
    QLabel* LblMessage = nullptr;
    QPushButton* CmdCancel = nullptr;

Q_SIGNALS:
    void setClicked(int setNumber);
    void eraseRequested();
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    shared::WindowState& m_windows;
    bool m_downloading = false;
};

} // namespace quadtherm::logger_memory
