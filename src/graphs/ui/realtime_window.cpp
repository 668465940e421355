#include "graphs/ui/realtime_window.h"

#include "graphs/ui/graph_output.h"
#include "graphs/ui/graph_style.h"
#include "graphs/ui/sweep_view.h"
#include "shared/view_state.h"
#include "widgets/key_toolbar.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolBar>
#include <QVBoxLayout>
#include <QValidator>
#include <qcustomplot.h>

namespace quadtherm::graphs {

namespace {

const QString kRealtimeCaption = QStringLiteral("Real Time Graph");
constexpr QSize kRealtimeSize(620, 380);
constexpr int kTickMs = 1000;

// The panel's key filter, for typed and pasted text alike.
class LimitValidator final : public QValidator {
public:
    LimitValidator(LimitBox box, QObject* parent) : QValidator(parent), m_box(box) {}
    State validate(QString& input, int&) const override {
        for (const QChar c : input)
            if (!limitCharPasses(m_box, c))
                return Invalid;
        return Acceptable;
    }

private:
    LimitBox m_box;
};

QLineEdit* limitBox(const QString& name, LimitBox box, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setValidator(new LimitValidator(box, edit));
    edit->setMaxLength(12);
    edit->setFixedWidth(90);
    return edit;
}

} // namespace

RealTimeWindow::RealTimeWindow(shared::WindowState& windows, shared::Clock& clock,
                               widgets::UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), Timer1(clock, kTickMs, [this] { Timer1_Timer(); }),
      m_windows(windows), m_clock(clock), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("RealTimeSLM"));
    setWindowTitle(kRealtimeCaption);
    Toolbar1 = widgets::makeKeyToolbar(
        this, {{"Limit", "Limit", widgets::kImageLimits},
                {"Print", "Print", widgets::kImagePrint},
                {"Save", "Save Image", widgets::kImageSaveImage}},
        [this](const QString& key) { Toolbar1_ButtonClick(key); });
    // Hiding the toolbar to print must not resize the frame (and restart it).
    QSizePolicy keep = Toolbar1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Toolbar1->setSizePolicy(keep);
    Surface = new SweepView(m_chart, this);
    PMessage = buildLimitPanel();
    PMessage->hide();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(Toolbar1);
    column->addWidget(Surface, 1);
    connect(Surface, &SweepView::resized, this, &RealTimeWindow::Form_Resize);
    resize(kRealtimeSize);
}

RealTimeWindow::~RealTimeWindow() {
    Timer1.stop();
}

QFrame* RealTimeWindow::buildLimitPanel() {
    // It floats over the frame, so showing it does not resize the frame.
    auto* panel = new QFrame(Surface);
    panel->setObjectName(QStringLiteral("PMessage"));
    panel->setProperty("role", "popup");
    panel->setAutoFillBackground(true);
    TxtMax = limitBox(QStringLiteral("TxtMax"), LimitBox::Max, panel);
    TxtMin = limitBox(QStringLiteral("TxtMin"), LimitBox::Min, panel);
    TxtCounts = limitBox(QStringLiteral("TxtCounts"), LimitBox::Counts, panel);
    CmdOK = new QPushButton(QStringLiteral("OK"), panel);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(12, 10, 12, 10);
    int row = 0;
    for (auto [text, edit] :
         {std::pair{"Max", TxtMax}, std::pair{"Min", TxtMin}, std::pair{"Counts", TxtCounts}}) {
        auto* label = new QLabel(QString::fromLatin1(text), panel);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    }
    grid->addWidget(CmdOK, row, 0, 1, 2);
    // Enter moves on to the next box, and in the last one applies the panel.
    connect(TxtMax, &QLineEdit::returnPressed, TxtMin, [this] { TxtMin->setFocus(); });
    connect(TxtMin, &QLineEdit::returnPressed, TxtCounts, [this] { TxtCounts->setFocus(); });
    connect(TxtCounts, &QLineEdit::returnPressed, this, &RealTimeWindow::CmdOK_Click);
    connect(CmdOK, &QPushButton::clicked, this, &RealTimeWindow::CmdOK_Click);
    panel->adjustSize();
    return panel;
}

void RealTimeWindow::Form_Load(const QWidget& mainWindow) {
    const QRect main = mainWindow.frameGeometry();
    move(main.x() + main.width(), main.y());
}

void RealTimeWindow::Form_Resize() {
    Timer1.stop();
    PMessage->hide();
    m_chart.ChartWidth = float(Surface->plottingArea().width());
    Surface->update();
    Timer1.start();
}

void RealTimeWindow::Timer1_Timer() {
    if (!m_windows.GraphOpen)
        return;
    if (m_chart.advance()) {
        ++m_wraps;
        Surface->setWrapTime(m_clock.now().toString(QStringLiteral("hh:mm:ss")));
    }
    Surface->update();
}

void RealTimeWindow::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("Limit"))
        showLimitPanel();
    else if (key == QLatin1String("Print"))
        printWindow();
    else if (key == QLatin1String("Save"))
        savePictureAs(this, m_dialogs, Surface->size(),
                      [this](QCPPainter& painter, QSize size) { Surface->draw(painter, size); });
}

void RealTimeWindow::showLimitPanel() {
    Timer1.stop();
    TxtCounts->setText(QString::number(m_chart.counts()));
    TxtMax->setText(QString::number(m_chart.ChartMax));
    TxtMin->setText(QString::number(m_chart.ChartMin));
    PMessage->adjustSize();
    PMessage->move(Surface->plottingArea().topLeft().toPoint() + QPoint(12, 12));
    PMessage->show();
    PMessage->raise();
    TxtMax->setFocus();
    TxtMax->selectAll();
}

void RealTimeWindow::CmdOK_Click() {
    switch (applyLimitPanel(m_chart, TxtMax->text(), TxtMin->text(), TxtCounts->text())) {
    case LimitOutcome::ValueRefused:
        m_dialogs.message(this, limitValueMessage(), {}, widgets::UserDialogs::Icon::None);
        return;
    case LimitOutcome::CountsRefused:
        // The panel stays open and the sweep stopped, for another try.
        m_dialogs.message(this, limitCountsMessage(), {}, widgets::UserDialogs::Icon::None);
        return;
    case LimitOutcome::Applied:
        // A new scale and step: the old sweep's marks and wrap time would
        // read on it as if they belonged to it.
        Surface->setWrapTime({});
        Form_Resize();
        return;
    }
}

void RealTimeWindow::printWindow() {
    Toolbar1->hide();
    const auto shown = qScopeGuard([this] { Toolbar1->show(); });
    QPrinter printer(QPrinter::ScreenResolution);
    if (!m_dialogs.print(this, printer))
        return;
    // Black on white like the other graphs' printouts, and back afterwards.
    // Only the frame and its floating panel change: a style sheet on the
    // window would lay it out again, and a resize restarts the sweep.
    const QString panelSheet = PMessage->styleSheet();
    const auto screen = qScopeGuard([this, panelSheet] {
        Surface->setPaper(false);
        PMessage->setStyleSheet(panelSheet);
    });
    Surface->setPaper(true);
    PMessage->setStyleSheet(paperStyleSheet());
    // The frame with whatever floats over it (the Limit panel when open).
    printPicture(printer, Surface->size(),
                 [this](QCPPainter& painter, QSize) { drawWidget(*Surface, painter); });
}

void RealTimeWindow::closeEvent(QCloseEvent* event) {
    m_windows.GraphOpen = false;
    Timer1.stop();
    QWidget::closeEvent(event);
}

} // namespace quadtherm::graphs
