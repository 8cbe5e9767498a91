#include "engine/automation/MUDRecordFields.h"

#include <QDir>
#include <cmath>

namespace MUDRecordFields {

namespace {
int64_t integerOf(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool() ? 1 : 0;
    if (value.isString()) {
        bool ok = false;
        const qlonglong parsed = value.toString().trimmed().toLongLong(&ok);
        return ok ? parsed : 0;
    }
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return 0;
    // Clamp before converting: out-of-range double to integer is undefined.
    if (number >= 9.2e18)
        return INT64_MAX;
    if (number <= -9.2e18)
        return INT64_MIN;
    return static_cast<int64_t>(number);
}
}

QString stringOrNone(const QJsonValue& value)
{
    return value.isString() ? value.toString() : QString();
}

QString textOrEmpty(const QString& value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

bool truthValue(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0.0;
    if (!value.isString())
        return false;
    const QString text = value.toString();
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    while (i < text.size() && text.at(i) == u'0')
        ++i;
    if (i >= text.size())
        return false;
    const QChar c = text.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

int32_t unsigned32(const QJsonValue& value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(integerOf(value))));
}

int32_t signed32(const QJsonValue& value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(integerOf(value)));
}

bool sameString(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a == b;
}

bool sameStringIgnoringCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool sameLocation(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

bool fieldContains(const QString& field, const QString& search)
{
    return !field.isEmpty() && !search.isEmpty() && field.contains(search, Qt::CaseInsensitive);
}

}
