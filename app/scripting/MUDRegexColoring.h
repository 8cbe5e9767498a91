#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include "core/CVRange.h"

// The syntactic colouring of a regular expression in the trigger editor's
// match field: group brackets, matched bracket pairs, character classes,
// anchors and quantifiers, and the \n \r \s escapes. One pass; never fails,
// whatever the pattern. Any thread.
class MUDRegexColoring {
public:
    struct Span {
        CVRange range;
        QColor color;
        bool operator==(const Span&) const = default;
    };

    static QColor groupColor();
    static QColor pairColor();
    static QColor classColor();
    static QColor operatorColor();
    static QColor escapeColor();

    // The coloured spans in the order they are applied; a later span paints
    // over an earlier one. Characters in no span keep the base colour.
    static QList<Span> spansForPattern(const QString& pattern);
    // The colour of every character after applying the spans (invalid for
    // the base colour).
    static QList<QColor> characterColors(const QString& pattern);
};
