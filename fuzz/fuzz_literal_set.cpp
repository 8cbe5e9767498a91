// Property: finding many literals in one pass gives exactly what searching
// for each one alone gives. The input is literals separated by '|', a NUL,
// then the text (UTF-8). Every occurrence the set reports must be the one
// Qt's search finds, and a prepared search text must answer each literal's
// searches, with and without regard to case, as an unprepared one does.
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "engine/automation/MUDLiteralSet.h"
#include "engine/automation/MUDSearchText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUpFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype separator = input.indexOf('\0');
    if (separator < 0)
        return 0;
    const QStringList given = QString::fromUtf8(input.first(separator)).split(QLatin1Char('|'));
    const QString text = QString::fromUtf8(input.sliced(separator + 1));

    const auto set = std::make_shared<const MUDLiteralSet>(given);
    const auto found = set->occurrences(text);
    for (qsizetype i = 0; i < set->literals().size(); ++i) {
        const QString& literal = set->literals().at(i);
        size_t next = 0;
        for (qsizetype at = text.indexOf(literal); at >= 0; at = text.indexOf(literal, at + 1)) {
            if (next >= found[size_t(i)].size() || found[size_t(i)][next++] != at)
                abort();
        }
        if (next != found[size_t(i)].size())
            abort();
    }

    QStringList lower;
    for (const QString& literal : given)
        lower.append(literal.toLower());
    const MUDSearchText plain(text);
    const MUDSearchText prepared(text, {std::make_shared<const MUDLiteralSet>(lower), set});
    for (qsizetype i = 0; i < given.size(); ++i) {
        const qsizetype from = text.isEmpty() ? 0 : (i * 7) % text.size();
        for (const qsizetype to : {text.size(), from + given.at(i).size() + 1}) {
            if (prepared.find(given.at(i), false, from, to) != plain.find(given.at(i), false, from, to) ||
                prepared.find(lower.at(i), true, from, to) != plain.find(lower.at(i), true, from, to))
                abort();
        }
    }
    return 0;
}
