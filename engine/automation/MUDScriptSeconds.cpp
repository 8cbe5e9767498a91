#include "engine/automation/MUDScriptSeconds.h"

#include <QByteArray>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

// The "C" locale, made once: strtod alone follows LC_NUMERIC, which the
// application sets from the user's environment (a comma-decimal locale
// reads "0.5" as 0).
locale_t numberLocale()
{
    static const locale_t locale = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
    return locale;
}

}

double MUDScriptSeconds::fromText(const QString& text)
{
    const QByteArray latin = text.trimmed().toLatin1();
    return clamped(strtod_l(latin.constData(), nullptr, numberLocale()));
}

double MUDScriptSeconds::clamped(double seconds)
{
    if (std::isnan(seconds) || seconds <= 0)
        return 0;
    return std::min(seconds, Maximum);
}
