#pragma once

#include <QString>

#include "core/CVRange.h"

class MUDOutputModel;

// Finds text in a session's output for the find bar, case-insensitively,
// reading the output a block at a time so a search never copies the whole
// output. Main thread (the output's).
class MUDOutputFinder {
public:
    // Forward: the first occurrence starting at or after `from`; backward:
    // the last one starting before `from`. With `wrap` the search goes on
    // from the other end. NotFound when there is none (or `text` is empty).
    static CVRange find(const MUDOutputModel& output, const QString& text, qsizetype from, bool forward, bool wrap);

private:
    static CVRange findForward(const MUDOutputModel& output, const QString& text, qsizetype start, qsizetype end);
    static CVRange findBackward(const MUDOutputModel& output, const QString& text, qsizetype start, qsizetype before);
};
