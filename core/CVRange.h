#pragma once

#include <QString>
#include <QtGlobal>
#include <limits>

// A span of text in UTF-16 code units: where it starts and how long it is.
// Plain value, any thread.
struct CVRange {
    // Marks "no position"; a range whose location is NotFound is absent.
    static constexpr qsizetype NotFound = std::numeric_limits<qsizetype>::max();

    qsizetype location = 0;
    qsizetype length = 0;

    constexpr qsizetype end() const { return location + length; }
    constexpr bool isNotFound() const { return location == NotFound; }
    constexpr bool contains(qsizetype index) const { return index >= location && index < end(); }
    // True when the two ranges share at least one code unit.
    constexpr bool intersects(const CVRange& other) const { return location < other.end() && other.location < end(); }
    // True when they intersect or one ends exactly where the other starts.
    constexpr bool intersectsOrTouches(const CVRange& other) const
    {
        return location <= other.end() && other.location <= end();
    }
    constexpr bool operator==(const CVRange&) const = default;

    // The usual range notation: location and length in braces, "{3, 4}".
    QString toString() const { return QStringLiteral("{%1, %2}").arg(location).arg(length); }
};
