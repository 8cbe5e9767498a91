#include "app/session/MUDSpellOutFormatter.h"

#include <memory>

#include <unicode/locid.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

QString MUDSpellOutFormatter::spellOut(qint64 number)
{
    UErrorCode status = U_ZERO_ERROR;
    // Built per call: the formatter is not safe to share between threads and
    // the countdown asks once a second.
    auto formatter =
        std::make_unique<icu::RuleBasedNumberFormat>(icu::URBNF_SPELLOUT, icu::Locale::getEnglish(), status);
    if (U_FAILURE(status))
        return QString::number(number);
    icu::UnicodeString words;
    formatter->format(static_cast<int64_t>(number), words);
    return QString(reinterpret_cast<const QChar*>(words.getBuffer()), words.length()).toLower();
}
