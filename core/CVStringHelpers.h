#pragma once

#include <QChar>
#include <QString>
#include <functional>

// String helpers of the core library. Free functions; any thread.

// Called once per character: the previous, current and next character in
// walking order (QChar() past either end of the range), the index of the
// current character in the string, and a stop flag.
using CVCharacterBlock = std::function<void(QChar previous, QChar current, QChar next, qsizetype index, bool& stop)>;

// Walks the characters of [location, location + length) of `string`,
// forwards or, with `reverse`, backwards. The range is clamped to the string.
void enumerateCharacters(const QString& string, const CVCharacterBlock& block, bool reverse, qsizetype location,
                         qsizetype length);

// A record's file name from its title: every character of /\?%*|"<> is
// removed. Lossy by design: titles differing only in those characters share
// a file.
QString escapeForFileName(const QString& title);

// A title from a file name. Escaping only removes characters, so there is
// nothing to restore: names pass through unchanged.
QString unescapeForFileName(const QString& fileName);

// True for a numeric literal: optional sign, then decimal digits with an
// optional fraction and exponent (1, 1.5, .5, 5., 1e3, 2.5E-2) or a
// hexadecimal integer (0x1F).
bool isNumber(const QString& string);

// The character at `index`, or QChar() with a log line naming `calledFrom`
// when the index is out of range.
QChar safeCharacterAtIndex(const QString& string, qsizetype index, const QString& calledFrom);
