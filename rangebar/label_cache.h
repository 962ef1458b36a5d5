// The ruler labels a range bar has measured and laid out, by text. Labels
// repeat from scene to scene (the same steps come back as the window moves
// and the range grows), and shaping a text anew for every measure and every
// paint costs most of a ruler's paint; a label laid out once is drawn again
// as it was. Bounded: the cache starts over when it holds too many.
#pragma once

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPoint>
#include <QStaticText>
#include <QString>

#include <string>

namespace rangebar {

class LabelCache {
public:
    // The width of `text` in `font`, in pixels.
    int width(const QFont& font, const std::string& text);
    // Draws `text` in the painter's font and pen with its top-left corner at `topLeft`.
    void draw(QPainter& painter, const QPoint& topLeft, const std::string& text);

private:
    struct Label {
        QStaticText layout;
        int width = 0;
    };
    const Label& label(const QFont& font, const std::string& text);

    QFont font_;
    QHash<QString, Label> labels_;
};

}  // namespace rangebar
