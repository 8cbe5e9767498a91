#pragma once

#include <QtGlobal>

// A cheap identity for a text format handed out by an interning source
// (the style state). Each source draws a fresh generation and numbers the
// distinct formats it hands out within it, so two ids of one generation
// name equal formats exactly when their indexes are equal: comparing them
// replaces comparing the formats property by property. Ids of different
// generations say nothing; callers then compare the formats themselves.
// The default id (generation 0) identifies nothing. Plain value, any thread.
struct CVFormatId {
    quint32 generation = 0;
    quint32 index = 0;

    // A generation no other source has used; safe from any thread.
    static quint32 newGeneration();

    constexpr bool isValid() const { return generation != 0; }
    // True when both ids are valid and from one generation, so that
    // `index` equality decides format equality.
    constexpr bool isComparableWith(CVFormatId other) const
    {
        return generation != 0 && generation == other.generation;
    }
    constexpr quint64 key() const { return (quint64(generation) << 32) | index; }
    constexpr bool operator==(const CVFormatId&) const = default;
};
