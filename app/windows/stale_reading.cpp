#include "windows/stale_reading.h"

#include <QLabel>
#include <QLineEdit>

void showReadingStale(QLineEdit& value, QLabel& note, bool stale, const QTime& readAt)
{
    // Both colours come from the window, never from the edit's own palette:
    // setting the edit's text colour sets it for every group, the disabled
    // one too, and grey taken from there would be black the second time.
    const QPalette& window = value.window()->palette();
    QPalette palette = value.palette();
    palette.setColor(QPalette::Text, stale ? window.color(QPalette::Disabled, QPalette::Text)
                                           : window.color(QPalette::Text));
    value.setPalette(palette);
    note.setText(stale ? QString("показание от %1").arg(readAt.toString("HH:mm:ss")) : QString());
    note.setVisible(stale);
}
