#pragma once

#include "meter_link/port_numbering.h"
#include "shared/link_state.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QFrame;
class QPushButton;
class QStackedLayout;
class QTreeWidget;

namespace quadtherm::meter_link {

// The first window: the user picks the COM number of the meter's port. OK
// stores it in PortNumber and accepts; the caller then shows the main window.
class PortDialog : public QDialog {
    Q_OBJECT
public:
    // Starts the command file `file` in `folder` and does not wait for it.
    using Launcher = std::function<void(const QString& file, const QString& folder)>;
    // The serial ports of this computer with their COM numbers.
    using PortLister = std::function<QList<DetectedPort>()>;

    explicit PortDialog(shared::LinkState& link, QWidget* parent = nullptr);

    void setLauncher(Launcher launcher);
    void setPortLister(PortLister lister);

private:
    void Form_Load();
    void CmdOK_Click();
    void CmdDevice_Click();
    void CmdGo_Click();
    void buildControls();
    void fillPortList();

    shared::LinkState& m_link;
    Launcher m_launcher;
    PortLister m_lister;
    QStackedLayout* m_pages = nullptr;
    QWidget* m_choicePage = nullptr;
    QComboBox* m_txtCOM = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdDevice = nullptr;
    QFrame* m_picdevice = nullptr;
    QTreeWidget* m_portList = nullptr;
    QPushButton* m_cmdGo = nullptr;
};

} // namespace quadtherm::meter_link
