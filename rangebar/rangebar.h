// CRangeBar: a scale ruler for an integer range [minimum, maximum] with a
// selector marking the window [window minimum, window maximum], the part of
// the range the host shows. The operator moves the window by dragging the
// selector, resizes it by dragging an edge, toggles the whole range with a
// double click and scrolls or zooms with the wheel; the host sets range and
// window through the setters. The bar also gives the host the pixel
// coefficient and grid steps of the window, and formats values for labels.
//
// The bar works once it is a child widget: without a parent widget it does not
// recalculate and GetStaticSize answers fixed sizes. Every change is reported
// through rangeBarNotify, and through rangeChanged or windowChanged, before
// the operation that made it returns.
#pragma once

#include "label_cache.h"
#include "range_format.h"
#include "range_model.h"
#include "range_scene.h"

#include <QBrush>
#include <QDateTime>
#include <QFont>
#include <QPen>
#include <QRect>
#include <QString>
#include <QWidget>

#include <optional>

class CRangeBar;

// A parent widget that also derives from this class chooses the bar's
// background; any other parent gets RGB(236,233,216).
class RangeBarParent {
public:
    // The background for `bar`; Qt::NoBrush leaves the default.
    virtual QBrush rangeBarBackground(const CRangeBar& bar) = 0;

protected:
    ~RangeBarParent() = default;
};

// Arguments of GetPen.
enum PenColor : int { PC_DARK = 0, PC_LIGHT = 1 };

class CRangeBar : public QWidget {
    Q_OBJECT

public:
    explicit CRangeBar(QWidget* parent = nullptr);
    ~CRangeBar() override;

    long GetMin() const { return model_.min(); }
    long GetMax() const { return model_.max(); }
    long GetWinMin() const { return model_.winMin(); }
    long GetWinMax() const { return model_.winMax(); }
    // Pixels per unit inside the window.
    double GetWinCoeff() const { return model_.winCoeff(); }

    long GetCtrlStyle() const { return model_.style(); }
    // Returns the previous style. RBS_READONLY switches the mouse off for
    // good (double click and wheel still act); nothing is redrawn.
    long SetCtrlStyle(long style);

    // Setters return the previous value; an unchanged value does nothing.
    // SetMin above the maximum moves the maximum to value + 1, SetMax below
    // the minimum moves the minimum to value - 1, and the window follows the
    // range (RBN_WINCHANGED first, then RBN_MINCHANGED or RBN_MAXCHANGED).
    // The window setters clamp to the range; a window that would become empty
    // is the whole range.
    long SetMin(long value);
    long SetMax(long value);
    long SetWinMin(long value);
    long SetWinMax(long value);
    // Shifts the window, shortened at the range limits; always sends RBN_WINMOVED.
    void Move(long delta);

    // Largest window span in units from the next recalculation on; 0 is no limit.
    void SetMinScale(long units);
    void SetFormatScale(short decimals);
    long SetFormatOffset(long offset);
    double SetFormatOffset(double offset);
    // Exchanges the reference time the host keeps with the bar; the bar does
    // not read it.
    QDateTime SetFormatOffset(const QDateTime& time);
    QString FormatValue(double value) const;

    // Pixel distance between labelled ticks of the window ruler, and the
    // number of sub-intervals (2, 4 or 8) the host draws between them.
    double GetBigStep() const { return model_.bigStep(); }
    short GetSmallStep() const { return model_.smallStep(); }
    // PC_DARK: big ticks and lines, PC_LIGHT: small ticks; null for other values.
    const QPen* GetPen(int color) const;
    // Preferred thickness for the host's layout: label height + 20 pixels for
    // a horizontal bar, width of "max winmax" labels + 20 for a vertical one;
    // 1 and 30 without a parent.
    int GetStaticSize() const;

    // Measures the bar and recomputes coefficients, steps and the selector.
    void RecalcRuler();
    // The selector in widget coordinates.
    QRect CalcSelectorRect() const;
    // SA_IDLE outside the selector, else the part under `point`.
    SelectorAction TestPoinPos(const QPoint& point) const;

    // A wheel turn: forward (delta >= 0) moves the window up by 1/50 of the
    // range, backward down; Shift takes a tenth of that; with Ctrl a forward
    // turn narrows the window at its maximum and a backward one widens it.
    // The host calls this for wheel turns over its own window. Returns 0.
    int OnMouseWheel(Qt::KeyboardModifiers modifiers, int delta);

    const rangebar::RangeModel& model() const { return model_; }

    // The thickness GetStaticSize gives a bar with a window, and a length
    // that shows a few labels; the minimum length holds the smallest selector.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Sent synchronously (direct connection) after each change; `code` is one
    // of RangeBarNotification.
    void rangeBarNotify(CRangeBar* bar, int code);
    // The same changes as typed values: RBN_MINCHANGED and RBN_MAXCHANGED
    // give rangeChanged, RBN_WINMOVED and RBN_WINCHANGED windowChanged. Each
    // follows its rangeBarNotify.
    void rangeChanged(long min, long max);
    void windowChanged(long winMin, long winMax);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool hasWindow() const { return parentWidget() != nullptr; }
    // Emits rangeBarNotify and the typed signal of `code`.
    void notifyHost(int code);
    // GetStaticSize of a bar with a window.
    int thickness() const;
    rangebar::BarRect clientRect() const;
    // The scene of the current state, built again only when its inputs changed.
    const rangebar::Scene& scene() const;
    QBrush background() const;
    QRegion movingParts(const rangebar::Scene& scene) const;
    void applyCursor(rangebar::CursorShape shape);

    rangebar::RangeModel model_;
    QPen darkPen_;
    QPen lightPen_;
    QDateTime referenceTime_;
    mutable std::optional<rangebar::Scene> scene_;
    mutable std::optional<rangebar::SceneInputs> sceneInputs_;
    mutable QFont sceneFont_;
    mutable rangebar::LabelCache labels_;
    // The thickness of the last size hint change reported to the layout.
    int hintedThickness_ = 0;
};
