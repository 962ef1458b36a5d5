#include "label_cache.h"

#include <QFontMetrics>

namespace rangebar {
namespace {

// More labels than a ruler shows over many rescales; past it the cache starts over.
constexpr int kMostLabels = 512;

}  // namespace

const LabelCache::Label& LabelCache::label(const QFont& font, const std::string& text)
{
    if (!(font == font_) || labels_.size() >= kMostLabels) {
        labels_.clear();
        font_ = font;
    }
    const QString key = QString::fromStdString(text);
    auto found = labels_.find(key);
    if (found == labels_.end()) {
        Label made;
        made.layout.setText(key);
        made.layout.setTextFormat(Qt::PlainText);
        made.width = QFontMetrics(font).horizontalAdvance(key);
        found = labels_.insert(key, made);
    }
    return found.value();
}

int LabelCache::width(const QFont& font, const std::string& text)
{
    return label(font, text).width;
}

void LabelCache::draw(QPainter& painter, const QPoint& topLeft, const std::string& text)
{
    painter.drawStaticText(topLeft, label(painter.font(), text).layout);
}

}  // namespace rangebar
