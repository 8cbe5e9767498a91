#pragma once

#include <QString>

// Numbers spelled out in lower-case English words ("five"), for the
// reconnect countdown. The only user of ICU's number formatter in the
// application. Any thread.
class MUDSpellOutFormatter {
public:
    // The words for `number`, or its digits when the formatter is unavailable.
    static QString spellOut(qint64 number);
};
