#include "graph/graph_wnd.h"

#include "graph/graph_layout.h"
#include "graph/graph_rules.h"
#include "graph/graph_texts.h"
#include "services/file_dialogs.h"
#include "graph/limit_dlg.h"
#include "graph/pane_strip.h"
#include "services/print_dialogs.h"
#include "graph/print_job.h"
#include "graph/print_runner.h"
#include "graph/repaint_pacer.h"
#include "graph/series_export.h"
#include "services/window_messages.h"

#include "platform/message_box.h"

#include <rangebar.h>

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QStatusBar>
#include <QWheelEvent>

namespace {

constexpr long kTemperatureRulerStyle = RbsFormat(5);            // vertical, values with decimals
constexpr long kTimeRulerStyle = RBS_HORIZONTAL | RbsFormat(2);  // seconds
constexpr int kElapsedFormat = 2;                                // seconds
constexpr int kClockFormat = 3;                                  // hh:mm:ss.cc
constexpr long kStyleBits = 0x07;                                // all but the format mode
// What the status bar's frame takes of its width.
constexpr int kPaneSlack = 12;
// How long the status bar says where the series was saved, ms.
constexpr int kSavedNoticeMs = 10000;

QColor cornerColor()
{
    return {236, 233, 216};
}

// The series' begin as the time ruler's reference time; none for a begin
// before 1900 or one that is no calendar moment.
QDateTime referenceTimeOf(TermDataFile& series)
{
    const platform::SystemTime* begin = series.GetBeginTime();
    if (begin->year < 1900)
        return {};
    const QDateTime time(QDate(begin->year, begin->month, begin->day),
                         QTime(begin->hour, begin->minute, begin->second, begin->milliseconds));
    return time.isValid() ? time : QDateTime();
}

}  // namespace

CGraphWnd::CGraphWnd(graph::GraphKind kind, QObject* owner, QWidget* parent)
    : QWidget(parent, Qt::Tool), kind_(kind), owner_(owner)
{
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    paneStrip_ = new graph::PaneStrip({graph::paneSizingText(0), graph::paneSizingText(1), graph::paneSizingText(2),
                                       graph::paneSizingText(3)},
                                      statusBar_);
    for (int pane = 0; pane < graph::kPaneCount; ++pane)
        panes_[static_cast<std::size_t>(pane)] = paneStrip_->pane(pane);
    statusBar_->addWidget(paneStrip_, 1);

    view_ = new CGraphView(this);
    temperatureRuler_ = new CRangeBar(this);
    temperatureRuler_->SetCtrlStyle(kTemperatureRulerStyle);
    timeRuler_ = new CRangeBar(this);
    timeRuler_->SetCtrlStyle(kTimeRulerStyle);
    connect(temperatureRuler_, &CRangeBar::rangeChanged, this, &CGraphWnd::onTemperatureRange);
    connect(temperatureRuler_, &CRangeBar::windowChanged, this, &CGraphWnd::onTemperatureWindow);
    connect(timeRuler_, &CRangeBar::rangeChanged, this, &CGraphWnd::onTimeRange);
    connect(timeRuler_, &CRangeBar::windowChanged, this, &CGraphWnd::onTimeWindow);

    printRunner_ = new graph::PrintRunner(this);
    connect(printRunner_, &graph::PrintRunner::jobFinished, this, &CGraphWnd::printJobFinished);

    // Readings faster than the screen refreshes are painted together.
    new graph::RepaintPacer(this);

    buildMenus();
    resize(300, 200);
    layoutChildren();

    timeRuler_->SetMax(0);
    timeRuler_->SetMin(-1000);
    timeRuler_->SetWinMin(-1000);
    timeRuler_->SetWinMax(0);
    temperatureRuler_->SetMax(10);
    temperatureRuler_->SetMin(0);
    temperatureRuler_->SetWinMax(10);
    temperatureRuler_->SetWinMin(0);
}

CGraphWnd::~CGraphWnd() = default;

QString CGraphWnd::paneText(int pane) const
{
    if (pane < 0 || pane >= graph::kPaneCount)
        return {};
    return panes_[static_cast<std::size_t>(pane)]->text();
}

void CGraphWnd::setPaneText(int pane, const QString& text)
{
    if (pane < 0 || pane >= graph::kPaneCount)
        return;
    panes_[static_cast<std::size_t>(pane)]->setText(text);
}

QAction* CGraphWnd::commandAction(int command) const
{
    const auto found = commands_.find(command);
    return found != commands_.end() ? found->second : nullptr;
}

// Private messages of the owner.
bool CGraphWnd::event(QEvent* event)
{
    if (event->type() == WindowMessageEvent::eventType()) {
        const auto* message = static_cast<WindowMessageEvent*>(event);
        handleMessage(message->message(), message->wParam(), message->lParam());
        return true;
    }
    if (event->type() == QEvent::LayoutRequest) {
        // A ruler's size hint changed (its labels or its font).
        layoutChildren();
        return true;
    }
    return QWidget::event(event);
}

void CGraphWnd::handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (message) {
    case WM_GRAPH_SETDATA:
        setValueRange(lowWord(wParam), highWord(wParam));
        attachSeries(reinterpret_cast<TermDataFile*>(lParam));
        startOnTheValues();
        break;
    case WM_GRAPH_SETSPAN:
        timeRuler_->SetMinScale(static_cast<long>(wParam));
        break;
    case WM_GRAPH_NEWVALUE:
        followReading(static_cast<long>(static_cast<std::intptr_t>(wParam)), static_cast<long>(lParam));
        break;
    case WM_GRAPH_SETLIMITS:
        setValueRange(static_cast<long>(static_cast<std::intptr_t>(wParam)), static_cast<long>(lParam));
        break;
    case WM_GRAPH_SETSERIES:
        if (wParam != 0) {
            attachSeries(reinterpret_cast<TermDataFile*>(wParam));
            startOnTheValues();
        }
        break;
    default:
        break;
    }
}

// The value axis over the owner's bounds; the window is left to the ruler's clamping.
void CGraphWnd::setValueRange(long low, long high)
{
    const graph::ValueRange range = graph::valueRangeFor(low, high);
    temperatureRuler_->SetMax(range.max);
    temperatureRuler_->SetMin(range.min);
    view_->setValueWindow(temperatureRuler_->GetWinMin(), temperatureRuler_->GetWinMax(),
                          temperatureRuler_->GetWinCoeff());
}

// Shows `series` and stretches the time axis to its last record.
void CGraphWnd::attachSeries(TermDataFile* series)
{
    view_->setSeries(series);
    if (series == nullptr)
        return;
    const long count = series->GetCount();
    if (count <= 0)
        return;
    const long last = series->GetTermData()[count - 1].time;
    timeRuler_->SetMax(last);
    timeRuler_->SetWinMax(last);
    timeRuler_->SetFormatOffset(referenceTimeOf(*series));
}

void CGraphWnd::followReading(long value, long time)
{
    const graph::ReadingFollow follow = graph::followReading(timeRuler_->GetMin(), timeRuler_->GetMax(),
                                                             timeRuler_->GetWinMin(), timeRuler_->GetWinMax(), time);
    if (follow.extendRange)
        timeRuler_->SetMax(time);
    if (follow.window == graph::WindowFollow::Extend)
        timeRuler_->SetWinMax(time);
    else if (follow.window == graph::WindowFollow::Move)
        timeRuler_->Move(follow.moveBy);
    cornerValue_ = value;
    update(cornerRect());
    if (valuesPending_)
        placeOnTheValues();
}

void CGraphWnd::forgetReading()
{
    cornerValue_.reset();
    update(cornerRect());
}

// The counts of a sensor lie anywhere in 0..65535: the quantum graph's value
// window goes where they are when it is given a series, unless the window
// already shows some of them. A series without readings waits for its first.
void CGraphWnd::startOnTheValues()
{
    valuesPending_ = kind_ == graph::GraphKind::Quantum;
    if (valuesPending_)
        placeOnTheValues();
}

void CGraphWnd::placeOnTheValues()
{
    if (view_->series() == nullptr)
        return;
    const std::optional<graph::ValueLimits> values = view_->valueLimits(timeRuler_->GetMin(), timeRuler_->GetMax());
    if (!values)
        return;
    valuesPending_ = false;
    const long winMin = temperatureRuler_->GetWinMin();
    const long winMax = temperatureRuler_->GetWinMax();
    if (!graph::windowMissesValues(winMin, winMax, values->lowest, values->highest))
        return;
    const graph::ValueRange window = graph::windowAround(values->lowest, values->highest);
    // The end that moves away from the other goes first, so that the window never turns over.
    if (window.max > winMax) {
        temperatureRuler_->SetWinMax(window.max);
        temperatureRuler_->SetWinMin(window.min);
    } else {
        temperatureRuler_->SetWinMin(window.min);
        temperatureRuler_->SetWinMax(window.max);
    }
}

void CGraphWnd::onTemperatureRange(long min, long max)
{
    setPaneText(2, QString::fromStdString(graph::valueRangePaneText(min, max)));
    view_->update();
}

void CGraphWnd::onTemperatureWindow(long winMin, long winMax)
{
    view_->setValueWindow(winMin, winMax, temperatureRuler_->GetWinCoeff());
    view_->update();
}

void CGraphWnd::onTimeRange(long min, long max)
{
    setPaneText(3, QString::fromStdString(graph::timeRangePaneText(min, max)));
    AutoLimits();
    view_->update();
}

void CGraphWnd::onTimeWindow(long winMin, long winMax)
{
    view_->setTimeWindow(winMin, winMax, timeRuler_->GetWinCoeff());
    AutoLimits();
    view_->update();
}

void CGraphWnd::AutoLimits()
{
    if (!autoLimits_ || view_->series() == nullptr)
        return;
    const std::optional<graph::ValueLimits> limits = view_->valueLimits(timeRuler_->GetWinMin(), timeRuler_->GetWinMax());
    if (!limits)
        return;
    // No margin: equal values leave an empty window, which the ruler turns
    // into its whole range.
    if (limits->highest != temperatureRuler_->GetWinMax())
        temperatureRuler_->SetWinMax(limits->highest);
    if (limits->lowest != temperatureRuler_->GetWinMin())
        temperatureRuler_->SetWinMin(limits->lowest);
}

QRect CGraphWnd::cornerRect() const
{
    const graph::GraphLayout layout = graph::layoutGraph(width(), height(), statusBar_->sizeHint().height(),
                                                         temperatureRuler_->GetStaticSize(),
                                                         timeRuler_->GetStaticSize());
    return {layout.corner.x, layout.corner.y, layout.corner.width, layout.corner.height};
}

// The panes side by side as far as the width allows, the rest on further lines.
void CGraphWnd::arrangePanes(int width)
{
    if (!paneStrip_->arrangeFor(width - kPaneSlack))
        return;
    // The status bar measures its widgets when they are added: adding the
    // panes again gives it their new height at once, for the layout to come.
    statusBar_->removeWidget(paneStrip_);
    statusBar_->addWidget(paneStrip_, 1);
    paneStrip_->show();
}

void CGraphWnd::layoutChildren()
{
    arrangePanes(width());
    const graph::GraphLayout layout = graph::layoutGraph(width(), height(), statusBar_->sizeHint().height(),
                                                         temperatureRuler_->GetStaticSize(),
                                                         timeRuler_->GetStaticSize());
    const auto place = [](QWidget* child, const graph::Box& box) {
        child->setGeometry(box.x, box.y, box.width, box.height);
    };
    place(temperatureRuler_, layout.temperatureRuler);
    place(view_, layout.view);
    place(timeRuler_, layout.timeRuler);
    place(statusBar_, layout.statusBar);
    // The children repaint themselves where they moved; the corner is this window's own.
    update(cornerRect());
}

void CGraphWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CGraphWnd::paintEvent(QPaintEvent*)
{
    const QRect corner = cornerRect();
    QPainter painter(this);
    painter.fillRect(corner, cornerColor());
    if (!cornerValue_)
        return;
    painter.setFont(QFont());
    painter.drawText(corner, Qt::AlignCenter | Qt::TextSingleLine,
                     QString::fromStdString(graph::cornerText(kind_, *cornerValue_)));
}

void CGraphWnd::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (owner_ != nullptr)
        sendMessage(owner_, WM_GRAPH_CLOSED, graph::messageNumberOf(kind_), 0);
    else
        hide();
}

// A right click on the window itself: the corner square.
void CGraphWnd::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        viewRightClicked(event->globalPosition().toPoint());
        return;
    }
    QWidget::mousePressEvent(event);
}

void CGraphWnd::viewRightClicked(const QPoint& globalPos)
{
    updateCommandStates();
    menu_->popup(globalPos);
}

// Wheel turns that reach the window over a ruler's place go to that ruler.
void CGraphWnd::wheelEvent(QWheelEvent* event)
{
    const QPoint at = event->position().toPoint();
    const QPoint turn = event->angleDelta();
    const int delta = turn.y() != 0 ? turn.y() : turn.x();
    for (CRangeBar* ruler : {timeRuler_, temperatureRuler_}) {
        if (delta != 0 && ruler->geometry().contains(at)) {
            ruler->OnMouseWheel(event->modifiers(), delta);
            event->accept();
            return;
        }
    }
    QWidget::wheelEvent(event);
}

QAction* CGraphWnd::addCommand(QMenu* menu, const QString& text, int command, void (CGraphWnd::*slot)())
{
    auto* action = new QAction(text, this);
    action->setData(command);
    if (slot != nullptr)
        connect(action, &QAction::triggered, this, slot);
    if (menu != nullptr)
        menu->addAction(action);
    commands_[command] = action;
    return action;
}

void CGraphWnd::buildMenus()
{
    menu_ = new QMenu(this);
    const bool temperature = kind_ == graph::GraphKind::Temperature;
    // The limits dialog and the breaks at gaps are on keys of the window and
    // in the menu too, with their keys shown beside them.
    QAction* limits = addCommand(nullptr, "Пределы...", ID_GRAPH_LIMITS, &CGraphWnd::editLimits);
    limits->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    commands_[ID_GRAPH_LIMITS_KEY] = limits;
    QAction* gaps =
        addCommand(nullptr, "Разрывы на пропусках", ID_GRAPH_BREAKATGAPS, &CGraphWnd::toggleBreakAtGaps);
    gaps->setCheckable(true);
    gaps->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    for (QAction* keyed : {limits, gaps}) {
        keyed->setShortcutVisibleInContextMenu(true);
        addAction(keyed);
    }

    if (temperature)
        addCommand(menu_, "Печать...", ID_GRAPH_PRINT, &CGraphWnd::printGraph);
    QMenu* view = menu_->addMenu("Просмотр");
    addCommand(view, "Весь график", ID_GRAPH_WHOLE, &CGraphWnd::showWholeGraph);
    view->addAction(limits);
    addCommand(view, temperature ? "Автоматический выбор пределов температуры" : "Автоматический выбор пределов",
               ID_GRAPH_AUTOLIMITS, &CGraphWnd::toggleAutoLimits)
        ->setCheckable(true);
    addCommand(view, "Абсолютное время", ID_GRAPH_CLOCKTIME, &CGraphWnd::toggleClockTime)->setCheckable(true);
    view->addAction(gaps);
    addCommand(menu_, "Сохранить...", ID_GRAPH_SAVE, &CGraphWnd::saveSeriesAsText);
    connect(menu_, &QMenu::aboutToShow, this, &CGraphWnd::updateCommandStates);
}

void CGraphWnd::updateCommandStates()
{
    commands_.at(ID_GRAPH_AUTOLIMITS)->setChecked(autoLimits_);
    commands_.at(ID_GRAPH_CLOCKTIME)->setChecked(clockTime_);
    commands_.at(ID_GRAPH_BREAKATGAPS)->setChecked(view_->breakAtGaps());
}

void CGraphWnd::showWholeGraph()
{
    const long min = timeRuler_->GetMin();
    const long max = timeRuler_->GetMax();
    timeRuler_->SetWinMax(max);
    timeRuler_->SetWinMin(min);
    if (autoLimits_) {
        AutoLimits();
        return;
    }
    temperatureRuler_->SetWinMax(temperatureRuler_->GetMax());
    temperatureRuler_->SetWinMin(temperatureRuler_->GetMin());
}

void CGraphWnd::toggleAutoLimits()
{
    autoLimits_ = !autoLimits_;
    updateCommandStates();
    AutoLimits();
}

void CGraphWnd::toggleClockTime()
{
    clockTime_ = !clockTime_;
    const long kept = timeRuler_->GetCtrlStyle() & kStyleBits;
    timeRuler_->SetCtrlStyle(kept | RbsFormat(clockTime_ ? kClockFormat : kElapsedFormat));
    timeRuler_->repaint();
    view_->setClockTime(clockTime_);
    updateCommandStates();
}

void CGraphWnd::toggleBreakAtGaps()
{
    view_->setBreakAtGaps(!view_->breakAtGaps());
    updateCommandStates();
    view_->update();
}

void CGraphWnd::editLimits()
{
    CLimitDlg dialog(this);
    dialog.setLimits({temperatureRuler_->GetMax(), temperatureRuler_->GetMin(), temperatureRuler_->GetWinMax(),
                      temperatureRuler_->GetWinMin()});
    if (dialog.exec() != QDialog::Accepted)
        return;
    const CLimitDlg::Limits& typed = dialog.limits();
    temperatureRuler_->SetMax(typed.maximum);
    temperatureRuler_->SetMin(typed.minimum);
    temperatureRuler_->SetWinMax(typed.winMaximum);
    temperatureRuler_->SetWinMin(typed.winMinimum);
}

void CGraphWnd::printGraph()
{
    PrintDialogAnswer answer = askPrinter({this});
    if (answer.result == PrintDialogAnswer::Result::Cancelled)
        return;
    if (answer.result == PrintDialogAnswer::Result::NoPrinter || !answer.printer) {
        platform::showMessageBox("Не установлен принтер", "Ошибка", platform::MessageButtons::Ok,
                                 platform::MessageIcon::Warning, static_cast<QWidget*>(this));
        return;
    }
    graph::PrintRequest request;
    request.timeFrom = timeRuler_->GetWinMin();
    request.timeTo = timeRuler_->GetWinMax();
    request.valueFrom = temperatureRuler_->GetWinMin();
    request.valueTo = temperatureRuler_->GetWinMax();
    request.series = graph::snapshotForPrint(view_->series(), request.timeFrom, request.timeTo);
    request.breakAtGaps = view_->breakAtGaps();
    request.timeFormat = timeRuler_->model().format();
    request.timeFormat.mode = timeRuler_->model().formatMode();
    request.valueFormat = temperatureRuler_->model().format();
    request.valueFormat.mode = temperatureRuler_->model().formatMode();
    request.valueRangeMax = temperatureRuler_->GetMax();
    graph::setPageFonts(request);
    printRunner_->start(std::make_unique<graph::PrintJob>(std::move(answer.printer), std::move(request)));
}

int CGraphWnd::printJobsRunning() const
{
    return printRunner_->running();
}

void CGraphWnd::saveSeriesAsText()
{
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.fileName = "kl_s_log";
    request.defaultSuffix = "log";
    request.filter = "Log Files (*.log)|*.log|All Files (*.*)|*.*||";
    request.parent = this;
    const std::optional<QString> path = askFileName(request);
    if (!path)
        return;
    const graph::TextExport outcome = graph::saveSeriesText(path->toStdString(), view_->series(), kind_);
    if (outcome != graph::TextExport::Written) {
        platform::showMessageBox(outcome == graph::TextExport::NotCreated ? "Ошибка открытия файла" : "Ошибка записи файла",
                                 "Сохранение результатов", platform::MessageButtons::Ok, platform::MessageIcon::Error,
                                 static_cast<QWidget*>(this));
        return;
    }
    statusBar_->showMessage(QString("Данные сохранены в файл %1").arg(*path), kSavedNoticeMs);
}
