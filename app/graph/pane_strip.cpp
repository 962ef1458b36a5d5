#include "graph/pane_strip.h"

#include "graph/graph_layout.h"

#include <QLabel>

namespace graph {

namespace {

constexpr int kGap = 8;

}  // namespace

PaneStrip::PaneStrip(const std::array<const char*, 4>& sizingTexts, QWidget* parent) : QWidget(parent)
{
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        panes_[i] = new QLabel(QString::fromUtf8(sizingTexts[i]), this);
        widths_[i] = panes_[i]->sizeHint().width();
    }
    lines_.assign(panes_.size(), 1);
}

bool PaneStrip::arrangeFor(int width)
{
    std::vector<int> lines = paneLines(widths_, width, kGap);
    if (lines == lines_)
        return false;
    lines_ = std::move(lines);
    updateGeometry();
    place();
    return true;
}

int PaneStrip::lineHeight() const
{
    return panes_[0]->sizeHint().height();
}

QSize PaneStrip::sizeHint() const
{
    return {widths_[0], static_cast<int>(lines_.size()) * lineHeight()};
}

void PaneStrip::resizeEvent(QResizeEvent*)
{
    place();
}

void PaneStrip::place()
{
    const int height = lineHeight();
    std::size_t pane = 0;
    int y = 0;
    for (const int count : lines_) {
        int x = 0;
        for (int i = 0; i < count; ++i, ++pane) {
            const int w = i + 1 == count ? std::max(0, width() - x) : widths_[pane];
            panes_[pane]->setGeometry(x, y, w, height);
            x += w + kGap;
        }
        y += height;
    }
}

}  // namespace graph
