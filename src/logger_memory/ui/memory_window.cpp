#include "logger_memory/ui/memory_window.h"

#include "shared/view_state.h"
#include "shared/whole_number.h"
#include "widgets/grid.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <functional>

namespace quadtherm::logger_memory {

namespace {

constexpr int kShownSetRows = 12;

// A label that answers a click, as the free-memory display does.
class ClickLabel : public QLabel {
public:
    ClickLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), m_onClick(std::move(onClick)) {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (rect().contains(event->position().toPoint()))
            m_onClick();
    }

private:
    std::function<void()> m_onClick;
};

} // namespace

MemoryWindow::MemoryWindow(shared::WindowState& windows, QWidget* parent)
    : QWidget(parent, Qt::Window), m_windows(windows) {
    setObjectName(QStringLiteral("Memory"));
    setWindowTitle(QStringLiteral("Data Logger"));

    SSPanel1 = new QLabel(QStringLiteral("Memory Size"), this);
    SSPanel1->setObjectName(QStringLiteral("SSPanel1"));
    LblSize = new QLabel(this);
    LblSize->setObjectName(QStringLiteral("LblSize"));
    const QString eraseTip = QStringLiteral("Click to erase the automatically recorded data");
    SSPanelRemain = new ClickLabel(
        QStringLiteral("Remained"), [this] { LblRemain_Click(); }, this);
    SSPanelRemain->setObjectName(QStringLiteral("SSPanelRemain"));
    LblRemain = new ClickLabel(
        QString(), [this] { LblRemain_Click(); }, this);
    LblRemain->setObjectName(QStringLiteral("LblRemain"));
    for (QLabel* caption : {SSPanel1, SSPanelRemain})
        caption->setProperty("role", "caption");
    for (QLabel* figure : {LblSize, LblRemain}) {
        QFont font = figure->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.3);
        figure->setFont(font);
        figure->setMinimumWidth(
            figure->fontMetrics().horizontalAdvance(QStringLiteral("0000.0 K")));
    }
    SSPanelRemain->setToolTip(eraseTip);
    LblRemain->setToolTip(eraseTip);

    GridSet = new widgets::Grid(4, this);
    GridSet->setObjectName(QStringLiteral("GridSet"));
    connect(GridSet, &widgets::Grid::gridClicked, this,
            [this](int row, int) { GridSet_Click(row); });

    LblMessage = new QLabel(this);
    LblMessage->setObjectName(QStringLiteral("LblMessage"));
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    CmdCancel->setToolTip(QStringLiteral("Stop the download (Esc)"));
    CmdCancel->setAutoDefault(false);
    CmdCancel->hide();
    connect(CmdCancel, &QPushButton::clicked, this, &MemoryWindow::cancelRequested);

    auto* figures = new QGridLayout;
    figures->setHorizontalSpacing(16);
    figures->addWidget(SSPanel1, 0, 0);
    figures->addWidget(LblSize, 1, 0);
    figures->addWidget(SSPanelRemain, 0, 1);
    figures->addWidget(LblRemain, 1, 1);
    figures->setColumnStretch(2, 1);
    auto* progress = new QHBoxLayout;
    progress->addWidget(LblMessage, 1);
    progress->addWidget(CmdCancel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 8);
    column->addLayout(figures);
    column->addWidget(GridSet, 1);
    column->addLayout(progress);

    Form_Load();
}

void MemoryWindow::Form_Load() {
    if (QWidget* main = parentWidget())
        move(main->frameGeometry().topLeft());
    const QStringList headings{QStringLiteral("Set"), QStringLiteral("    Date----Time"),
                               QStringLiteral("Intv."), QStringLiteral("Rec.s")};
    const QStringList samples{QStringLiteral(" No.S "), QStringLiteral("AAAA/AA/AAAA:AA:AA"),
                              QStringLiteral(" Sampling"), QStringLiteral(" Records")};
    for (int col = 0; col < GridSet->Cols(); ++col) {
        GridSet->setTextAt(0, col, headings[col]);
        GridSet->setColumnWidthFromSample(col, samples[col]);
    }
    GridSet->setRows(1);
    int width = 2 * GridSet->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int col = 0; col < GridSet->Cols(); ++col)
        width += GridSet->columnWidth(col);
    GridSet->setMinimumWidth(width);
    GridSet->setMinimumHeight(GridSet->horizontalHeader()->sizeHint().height() +
                              kShownSetRows * GridSet->verticalHeader()->defaultSectionSize() +
                              2 * GridSet->frameWidth());
    m_windows.MemoryFormOpen = true;
}

void MemoryWindow::appendSetRows(const QStringList& rows) {
    GridSet->appendRows(rows);
}

void MemoryWindow::setDownloading(bool downloading) {
    m_downloading = downloading;
    CmdCancel->setVisible(downloading);
}

void MemoryWindow::GridSet_Click(int row) {
    if (row < 1 || row >= GridSet->Rows())
        return;
    // A cell is text for the eye: spaces around the number are no matter here.
    if (const auto number =
            shared::wholeNumberIn(GridSet->textAt(row, 0).trimmed(), 1, 0x7FFFFFFF))
        Q_EMIT setClicked(int(*number));
}

void MemoryWindow::LblRemain_Click() {
    Q_EMIT eraseRequested();
}

void MemoryWindow::closeEvent(QCloseEvent* event) {
    m_windows.MemoryFormOpen = false;
    // A download into a window that is gone would go on for nothing.
    if (m_downloading)
        Q_EMIT cancelRequested();
    event->accept();
}

void MemoryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_downloading) {
        Q_EMIT cancelRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quadtherm::logger_memory
