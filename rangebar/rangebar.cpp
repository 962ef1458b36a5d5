#include "rangebar.h"

#include "range_painter.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>

using rangebar::BarRect;
using rangebar::CursorShape;
using rangebar::Scene;

namespace {

// The label font: the system's general font at a character height of 10 pixels.
QFont labelFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(10);
    return font;
}

}  // namespace

CRangeBar::CRangeBar(QWidget* parent)
    : QWidget(parent)
    , darkPen_(QColor(128, 128, 128), 1)
    , lightPen_(QColor(192, 192, 192), 1)
{
    setFont(labelFont());
    setMouseTracking(true);
    // Every pixel is painted on each paint event.
    setAttribute(Qt::WA_OpaquePaintEvent);
    model_.setClientSource([this]() -> std::optional<BarRect> {
        if (!hasWindow())
            return std::nullopt;
        return clientRect();
    });
    model_.setObserver([this](int code) {
        update();
        notifyHost(code);
    });
}

CRangeBar::~CRangeBar() = default;

BarRect CRangeBar::clientRect() const
{
    return {0, 0, width(), height()};
}

long CRangeBar::SetCtrlStyle(long style)
{
    return model_.setStyle(style);
}

long CRangeBar::SetMin(long value)
{
    return model_.setMin(value);
}

long CRangeBar::SetMax(long value)
{
    return model_.setMax(value);
}

long CRangeBar::SetWinMin(long value)
{
    return model_.setWinMin(value);
}

long CRangeBar::SetWinMax(long value)
{
    return model_.setWinMax(value);
}

void CRangeBar::Move(long delta)
{
    model_.move(delta);
}

void CRangeBar::SetMinScale(long units)
{
    model_.setMinScale(units);
}

void CRangeBar::SetFormatScale(short decimals)
{
    model_.setFormatScale(decimals);
}

long CRangeBar::SetFormatOffset(long offset)
{
    return model_.setFormatOffset(offset);
}

double CRangeBar::SetFormatOffset(double offset)
{
    return model_.setFormatOffset(offset);
}

QDateTime CRangeBar::SetFormatOffset(const QDateTime& time)
{
    QDateTime previous = referenceTime_;
    referenceTime_ = time;
    return previous;
}

QString CRangeBar::FormatValue(double value) const
{
    return QString::fromStdString(model_.formatValue(value));
}

const QPen* CRangeBar::GetPen(int color) const
{
    switch (color) {
    case PC_DARK:
        return &darkPen_;
    case PC_LIGHT:
        return &lightPen_;
    default:
        return nullptr;
    }
}

int CRangeBar::GetStaticSize() const
{
    if (!hasWindow())
        return model_.horizontal() ? 1 : 30;
    return thickness();
}

int CRangeBar::thickness() const
{
    const QFontMetrics metrics = fontMetrics();
    if (model_.horizontal())
        return metrics.height() + 20;
    const QString widest = QString::asprintf("%0.2f %0.2f", static_cast<double>(model_.max()),
                                             static_cast<double>(model_.winMax()));
    return labels_.width(font(), widest.toStdString()) + 20;
}

QSize CRangeBar::sizeHint() const
{
    constexpr int length = 200;
    return model_.horizontal() ? QSize(length, thickness()) : QSize(thickness(), length);
}

QSize CRangeBar::minimumSizeHint() const
{
    // The 12-pixel selector and a pixel of track on either side of it.
    constexpr int length = 14;
    return model_.horizontal() ? QSize(length, thickness()) : QSize(thickness(), length);
}

void CRangeBar::notifyHost(int code)
{
    // A vertical bar is as wide as the labels of its range and window maximum.
    if (!model_.horizontal() && hasWindow()) {
        const int now = thickness();
        if (now != hintedThickness_) {
            hintedThickness_ = now;
            updateGeometry();
        }
    }
    emit rangeBarNotify(this, code);
    if (code == RBN_MINCHANGED || code == RBN_MAXCHANGED)
        emit rangeChanged(model_.min(), model_.max());
    else if (code == RBN_WINMOVED || code == RBN_WINCHANGED)
        emit windowChanged(model_.winMin(), model_.winMax());
}

void CRangeBar::RecalcRuler()
{
    model_.recalc();
}

QRect CRangeBar::CalcSelectorRect() const
{
    return rangebar::toQRect(model_.selectorRect().normalized());
}

SelectorAction CRangeBar::TestPoinPos(const QPoint& point) const
{
    return model_.hitTest(point.x(), point.y());
}

int CRangeBar::OnMouseWheel(Qt::KeyboardModifiers modifiers, int delta)
{
    model_.wheel(modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier), delta);
    return 0;
}

const Scene& CRangeBar::scene() const
{
    const rangebar::SceneInputs inputs = rangebar::sceneInputs(model_, clientRect());
    if (!scene_ || !(inputs == *sceneInputs_) || !(font() == sceneFont_)) {
        const int height = fontMetrics().height();
        const rangebar::MeasureText measure = [this, height](const std::string& text) {
            return rangebar::TextExtent{labels_.width(font(), text), height};
        };
        scene_ = rangebar::buildScene(model_, clientRect(), measure);
        sceneInputs_ = inputs;
        sceneFont_ = font();
    }
    return *scene_;
}

QBrush CRangeBar::background() const
{
    if (auto* host = dynamic_cast<RangeBarParent*>(parentWidget())) {
        QBrush chosen = host->rangeBarBackground(*this);
        if (chosen.style() != Qt::NoBrush)
            return chosen;
    }
    return rangebar::defaultBackground();
}

// What a drag step may change: the window ruler and the selector.
QRegion CRangeBar::movingParts(const Scene& scene) const
{
    QRegion parts(rangebar::toQRect(scene.windowRuler.bounds()));
    parts += rangebar::toQRect(scene.selector);
    return parts;
}

void CRangeBar::applyCursor(CursorShape shape)
{
    Qt::CursorShape wanted = Qt::ArrowCursor;
    if (shape == CursorShape::Move)
        wanted = Qt::SizeAllCursor;
    else if (shape == CursorShape::Resize)
        wanted = model_.horizontal() ? Qt::SizeHorCursor : Qt::SizeVerCursor;
    if (cursor().shape() != wanted)
        setCursor(wanted);
}

void CRangeBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    // Labels and the thickness follow the font; the scene is rebuilt for it
    // at the next paint.
    model_.recalc();
    updateGeometry();
    update();
}

void CRangeBar::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const rangebar::PaintTools tools{background(), darkPen_, lightPen_, font()};
    rangebar::paintScene(painter, scene(), clientRect(), tools, event->region(), labels_);
}

void CRangeBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!hasWindow())
        return;
    model_.recalc();
    update();
    notifyHost(RBN_WINCHANGED);
}

void CRangeBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (model_.press(at.x(), at.y()))
        update(rangebar::toQRect(model_.selectorRect().normalized()));
}

void CRangeBar::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const bool dragging = model_.mouseState() != SA_OFF && model_.mouseState() != SA_IDLE;
    if (!dragging) {
        applyCursor(model_.dragTo(at.x(), at.y()).cursor);
        return;
    }
    const QRegion before = movingParts(scene());
    const rangebar::RangeModel::DragResult result = model_.dragTo(at.x(), at.y());
    applyCursor(result.cursor);
    if (result.code == 0)
        return;
    update(before + movingParts(scene()));
    notifyHost(result.code);
}

void CRangeBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (model_.release())
        update();
}

void CRangeBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !model_.doubleClick(at.x(), at.y()))
        event->ignore();
}

void CRangeBar::wheelEvent(QWheelEvent* event)
{
    // Touchpads also send events without any turn (scroll phase changes);
    // only a turn counts, vertical or else horizontal.
    const QPoint turn = event->angleDelta();
    const int delta = turn.y() != 0 ? turn.y() : turn.x();
    if (delta == 0) {
        event->ignore();
        return;
    }
    OnMouseWheel(event->modifiers(), delta);
    event->accept();
}
