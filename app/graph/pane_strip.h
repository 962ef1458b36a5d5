// The four status panes of a graph window: side by side as far as the
// window's width allows, the rest on further lines, so that no pane's text
// ever runs into another's. Each pane is as wide as its sizing text; the last
// pane of a line takes what the line leaves, and a pane wider than the
// window is cut short at its edge.
#pragma once

#include <QWidget>

#include <array>
#include <vector>

class QLabel;

namespace graph {

class PaneStrip : public QWidget {
public:
    // Panes showing `sizingTexts` until they are first written.
    PaneStrip(const std::array<const char*, 4>& sizingTexts, QWidget* parent);

    QLabel* pane(int index) const { return panes_[static_cast<std::size_t>(index)]; }
    // Lines up the panes for a strip `width` wide; true when that changed the lines.
    bool arrangeFor(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int lineHeight() const;
    void place();

    std::array<QLabel*, 4> panes_{};
    int widths_[4] = {};
    std::vector<int> lines_;
};

}  // namespace graph
