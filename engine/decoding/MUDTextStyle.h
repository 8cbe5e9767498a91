#pragma once

#include <QTextCharFormat>

#include "core/CVFormatId.h"

// How the style state draws server text at one moment: the format of its
// characters and the format of its white space (the same, drawn faint),
// each with the id that names it. A plain value, any thread.
struct MUDTextStyle {
    QTextCharFormat text;
    CVFormatId textId;
    QTextCharFormat whitespace;
    CVFormatId whitespaceId;
};
