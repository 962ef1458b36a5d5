#include "graph/repaint_pacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace graph {
namespace {

constexpr double kFallbackRefreshHz = 60.0;

}  // namespace

RepaintPacer::RepaintPacer(QWidget* window) : QObject(window), window_(window)
{
    frameEnd_.setSingleShot(true);
    frameEnd_.setTimerType(Qt::PreciseTimer);
    // The request that waited goes out as Qt's own does: after the other posted events.
    connect(&frameEnd_, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
    window->installEventFilter(this);
}

int RepaintPacer::frameMs() const
{
    const QScreen* screen = window_->screen();
    const double hz = screen != nullptr && screen->refreshRate() > 1.0 ? screen->refreshRate() : kFallbackRefreshHz;
    return static_cast<int>(std::lround(1000.0 / hz));
}

bool RepaintPacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_ || event->type() != QEvent::UpdateRequest)
        return false;
    if (sinceRepaint_.isValid()) {
        const qint64 waited = sinceRepaint_.elapsed();
        const int frame = frameMs();
        if (waited < frame) {
            if (!frameEnd_.isActive())
                frameEnd_.start(static_cast<int>(frame - waited));
            return true;
        }
    }
    frameEnd_.stop();
    sinceRepaint_.restart();
    return false;
}

}  // namespace graph
