#include "meter_link/ui/port_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStackedLayout>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quadtherm::meter_link {

namespace {

// The dialog's sizes come in twips, at 15 twips to a pixel.
constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips) {
    return qRound(double(twips) / kTwipsPerPixel);
}

constexpr QSize kChoiceSize(pixels(2100), pixels(1530));
constexpr QSize kHintSize(pixels(4424), pixels(3140));
constexpr QPoint kPosition(pixels(3700), pixels(2700));

const char* const kDeviceListFile = "dev.bat";

void startDetached(const QString& file, const QString& folder) {
#ifdef Q_OS_WIN
    // A command file runs through the command interpreter.
    QProcess::startDetached(QStringLiteral("cmd.exe"),
                            {QStringLiteral("/c"), QDir::toNativeSeparators(file)}, folder);
#else
    QProcess::startDetached(QStringLiteral("/bin/sh"), {file}, folder);
#endif
}

QString describe(const DetectedPort& port) {
    if (port.description.isEmpty() || port.manufacturer.isEmpty() ||
        port.description == port.manufacturer)
        return port.description.isEmpty() ? port.manufacturer : port.description;
    return QStringLiteral("%1 (%2)").arg(port.description, port.manufacturer);
}

} // namespace

PortDialog::PortDialog(shared::LinkState& link, QWidget* parent)
    : QDialog(parent), m_link(link), m_launcher(startDetached), m_lister(detectPorts) {
    buildControls();
    Form_Load();
}

void PortDialog::setLauncher(Launcher launcher) {
    m_launcher = std::move(launcher);
}

void PortDialog::setPortLister(PortLister lister) {
    m_lister = std::move(lister);
}

void PortDialog::buildControls() {
    setObjectName(QStringLiteral("Port"));
    setWindowTitle(QStringLiteral("COM Port"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_choicePage = new QWidget(this);
    m_txtCOM = new QComboBox(m_choicePage);
    m_txtCOM->setObjectName(QStringLiteral("TxtCOM"));
    m_txtCOM->setEditable(true);
    // The typed text must reach CmdOK as typed: no items added on Enter, and
    // no completer, whose case-blind matching would turn "com3" into "COM3".
    m_txtCOM->setInsertPolicy(QComboBox::NoInsert);
    m_txtCOM->setCompleter(nullptr);
    m_cmdOK = new QPushButton(QStringLiteral("OK"), m_choicePage);
    m_cmdOK->setObjectName(QStringLiteral("CmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdDevice = new QPushButton(QStringLiteral("Device Manager"), m_choicePage);
    m_cmdDevice->setObjectName(QStringLiteral("CmdDevice"));

    // One column: at 140 pixels across there is no room for the list and a
    // button side by side without clipping "COM16".
    auto* choiceLayout = new QVBoxLayout(m_choicePage);
    choiceLayout->setContentsMargins(8, 6, 8, 6);
    choiceLayout->setSpacing(4);
    choiceLayout->addStretch();
    choiceLayout->addWidget(m_txtCOM);
    choiceLayout->addWidget(m_cmdOK);
    choiceLayout->addWidget(m_cmdDevice);
    choiceLayout->addStretch();

    m_picdevice = new QFrame(this);
    m_picdevice->setObjectName(QStringLiteral("Picdevice"));
    auto* hint = new QLabel(QStringLiteral("Serial ports found on this computer:"), m_picdevice);
    m_portList = new QTreeWidget(m_picdevice);
    m_portList->setObjectName(QStringLiteral("PortList"));
    m_portList->setHeaderLabels(
        {QStringLiteral("Port"), QStringLiteral("Device"), QStringLiteral("Description")});
    m_portList->setRootIsDecorated(false);
    m_portList->setUniformRowHeights(true);
    m_portList->setSelectionMode(QAbstractItemView::NoSelection);
    m_portList->setFocusPolicy(Qt::NoFocus);
    // Long descriptions are elided, with the whole text in the tooltip.
    m_portList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_portList->setTextElideMode(Qt::ElideRight);
    m_cmdGo = new QPushButton(QStringLiteral("OK"), m_picdevice);
    m_cmdGo->setObjectName(QStringLiteral("CmdGo"));

    auto* goRow = new QHBoxLayout;
    goRow->addStretch();
    goRow->addWidget(m_cmdGo);
    auto* hintLayout = new QVBoxLayout(m_picdevice);
    hintLayout->setContentsMargins(8, 8, 8, 8);
    hintLayout->setSpacing(6);
    hintLayout->addWidget(hint);
    hintLayout->addWidget(m_portList, 1);
    hintLayout->addLayout(goRow);

    // The hint panel covers the choice controls while it is shown, as the
    // dialog only grows to make room for it.
    m_pages = new QStackedLayout(this);
    m_pages->setSizeConstraint(QLayout::SetNoConstraint);
    // The small choice page has room for "Device Manager" only with narrow
    // button margins.
    m_choicePage->setStyleSheet(
        QStringLiteral("QPushButton { padding: 3px 4px; min-width: 0px; }"));
    m_pages->addWidget(m_choicePage);
    m_pages->addWidget(m_picdevice);

    connect(m_cmdOK, &QPushButton::clicked, this, &PortDialog::CmdOK_Click);
    connect(m_cmdDevice, &QPushButton::clicked, this, &PortDialog::CmdDevice_Click);
    connect(m_cmdGo, &QPushButton::clicked, this, &PortDialog::CmdGo_Click);
}

void PortDialog::Form_Load() {
    setFixedSize(kChoiceSize);
    move(kPosition);
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number)
        m_txtCOM->addItem(portText(number));
    // The port opened last time, when there was one.
    const int last = m_link.PortNumber;
    m_txtCOM->setEditText(
        portText(last >= kFirstPortNumber && last <= kLastPortNumber ? last : kFirstPortNumber));
}

void PortDialog::CmdOK_Click() {
    if (const std::optional<int> number = portNumberFromText(m_txtCOM->currentText()))
        m_link.PortNumber = static_cast<qint16>(*number);
    accept();
}

void PortDialog::CmdDevice_Click() {
    fillPortList();
    m_pages->setCurrentWidget(m_picdevice);
    setFixedSize(kHintSize);
    m_cmdGo->setDefault(true);
    m_cmdGo->setFocus();
}

void PortDialog::CmdGo_Click() {
    const QString folder = QDir::currentPath();
    const QString file = QDir(folder).filePath(QString::fromLatin1(kDeviceListFile));
    if (QFileInfo::exists(file))
        m_launcher(file, folder);
    m_pages->setCurrentWidget(m_choicePage);
    setFixedSize(kChoiceSize);
    m_cmdOK->setDefault(true);
    m_txtCOM->setFocus();
}

void PortDialog::fillPortList() {
    m_portList->clear();
    const QList<DetectedPort> ports = m_lister();
    for (const DetectedPort& port : ports) {
        const QString number = port.comNumber > 0 ? portText(port.comNumber) : QString();
        auto* item = new QTreeWidgetItem({number, port.systemName, describe(port)});
        item->setToolTip(1, port.devicePath);
        item->setToolTip(2, describe(port));
        m_portList->addTopLevelItem(item);
    }
    if (ports.isEmpty()) {
        auto* none = new QTreeWidgetItem({QStringLiteral("No serial port found")});
        m_portList->addTopLevelItem(none);
        none->setFirstColumnSpanned(true);
    }
    m_portList->resizeColumnToContents(0);
    m_portList->resizeColumnToContents(1);
}

} // namespace quadtherm::meter_link
