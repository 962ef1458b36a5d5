// The rules of the QRVX windows that need no widget: the frame text field's
// length limit, what a value shows there, the limit lists, and how the texts
// of the window and its setup dialog become numbers.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The frame text field holds about this many characters at most.
constexpr int kFrameFieldLimit = 1000;

// Where the kept part of the field's text `shown` starts when `addedLength`
// characters are appended: 0 while shown + added + 1 stay within the limit;
// otherwise just after the first line feed at a position i with
// shown + added + 1 - i < kFrameFieldLimit, or shown.size() (nothing kept)
// when there is none.
int frameFieldKeepFrom(const QString& shown, int addedLength);

// What a value adds to the field: the frame as received (mode 0), or the
// value and CR LF (mode 1; nothing for a value of 0 or below).
QString frameFieldText(int displayMode, const QString& frameText, int value);

// A limit list offers at most this many temperatures (the default lists hold
// 5,000).
constexpr int kLimitListMaxEntries = 10000;

// How many temperatures start, start + step, ... below end are; 0 for a step
// of 0 or below.
long long limitListCount(long start, long end, long step);
// The temperatures a limit list offers: start, start + step, ... below end,
// the first kLimitListMaxEntries of them; none for a step of 0 or below.
QStringList limitListValues(long start, long end, long step);
// Those of them above `lowerLimit` (again at most kLimitListMaxEntries): the
// maximum list.
QStringList upperLimitListValues(long start, long end, long step, long lowerLimit);

// The number a text starts with, as the C library's atol reads it: leading
// blanks and a sign allowed, reading stops at the first non-digit, 0 when no
// digit comes first.
long leadingNumber(const QString& text);

// The setup dialog's period: the whole text as a decimal number with a
// point, in seconds; 0 for any other text ("0,5" included).
double periodSecondsOf(const QString& text);

// trunc(seconds × 1000), kept within what an int holds.
int millisecondsOf(double seconds);
