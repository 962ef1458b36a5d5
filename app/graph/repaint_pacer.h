// Holds a window's repaints to the screen's refresh. Qt paints a window once
// per turn of the event loop in which something changed; readings that come
// faster than the screen refreshes would each cost a whole repaint and flush
// that no one can see. An update request that comes sooner than one frame
// after the last repaint waits for that frame's end instead, and everything
// changed meanwhile is painted together then. Readings themselves are never
// held: only the painting waits.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace graph {

class RepaintPacer : public QObject {
public:
    // Paces `window`'s repaints; the pacer belongs to the window.
    explicit RepaintPacer(QWidget* window);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One refresh of the window's screen, ms.
    int frameMs() const;

    QWidget* window_;
    QElapsedTimer sinceRepaint_;
    QTimer frameEnd_;
};

}  // namespace graph
