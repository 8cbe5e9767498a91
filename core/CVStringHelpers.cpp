#include "core/CVStringHelpers.h"

#include <algorithm>

#include "core/CVLogHelper.h"

void enumerateCharacters(const QString& string, const CVCharacterBlock& block, bool reverse, qsizetype location,
                         qsizetype length)
{
    const qsizetype start = std::clamp<qsizetype>(location, 0, string.size());
    const qsizetype end = std::clamp<qsizetype>(length < 0 ? start : start + length, start, string.size());
    if (start >= end)
        return;
    const auto at = [&](qsizetype i) { return i >= start && i < end ? string.at(i) : QChar(); };
    const qsizetype step = reverse ? -1 : 1;
    bool stop = false;
    for (qsizetype i = reverse ? end - 1 : start; i >= start && i < end && !stop; i += step)
        block(at(i - step), string.at(i), at(i + step), i, stop);
}

QString escapeForFileName(const QString& title)
{
    static const QString kRemoved = QStringLiteral("/\\?%*|\"<>");
    QString result;
    result.reserve(title.size());
    for (const QChar c : title) {
        if (!kRemoved.contains(c))
            result.append(c);
    }
    return result;
}

QString unescapeForFileName(const QString& fileName)
{
    return fileName;
}

bool isNumber(const QString& string)
{
    qsizetype i = 0;
    const qsizetype n = string.size();
    const auto isDigit = [&](qsizetype at) { return at < n && string.at(at) >= u'0' && string.at(at) <= u'9'; };
    if (i < n && (string.at(i) == u'+' || string.at(i) == u'-'))
        ++i;
    if (i + 1 < n && string.at(i) == u'0' && (string.at(i + 1) == u'x' || string.at(i + 1) == u'X')) {
        i += 2;
        const qsizetype digits = i;
        while (i < n && QStringLiteral("0123456789abcdefABCDEF").contains(string.at(i)))
            ++i;
        return i > digits && i == n;
    }
    qsizetype mantissaDigits = 0;
    while (isDigit(i)) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && string.at(i) == u'.') {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (string.at(i) == u'e' || string.at(i) == u'E')) {
        ++i;
        if (i < n && (string.at(i) == u'+' || string.at(i) == u'-'))
            ++i;
        if (!isDigit(i))
            return false;
        while (isDigit(i))
            ++i;
    }
    return i == n;
}

QChar safeCharacterAtIndex(const QString& string, qsizetype index, const QString& calledFrom)
{
    if (index >= 0 && index < string.size())
        return string.at(index);
    CVLog(QStringLiteral("safeCharacterAtIndex: index %1 out of range (length %2), called from %3")
              .arg(index)
              .arg(string.size())
              .arg(calledFrom));
    return QChar();
}
