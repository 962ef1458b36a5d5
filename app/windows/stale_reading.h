// An overdue reading as the main windows show it: the number turns grey and
// a note beside it says when it was read, so that nobody takes an old value
// for a live one.
#pragma once

#include <QTime>

class QLabel;
class QLineEdit;

// `stale`: grey `value` and "показание от hh:mm:ss" (`readAt`) in `note`;
// otherwise the number in the text colour of `value`'s window and no note.
void showReadingStale(QLineEdit& value, QLabel& note, bool stale, const QTime& readAt);
