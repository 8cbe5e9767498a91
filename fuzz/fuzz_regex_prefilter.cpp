// Property: the literal pre-filter never changes what a regular expression
// finds. The input is a pattern and a text separated by a NUL (UTF-8, the
// first byte choosing the options and where the searched range starts); the
// pre-filtered search must give exactly the matches of ICU searching alone,
// which a leading comment group forces.
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "engine/automation/MUDRegularExpression.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUpFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int options =
        data[0] & (MUDRegularExpression::CaseInsensitive | MUDRegularExpression::DotMatchesLineSeparators |
                   MUDRegularExpression::AnchorsMatchLines);
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype separator = rest.indexOf('\0');
    if (separator < 0)
        return 0;
    const QString pattern = QString::fromUtf8(rest.first(separator));
    const QString text = QString::fromUtf8(rest.sliced(separator + 1));
    const auto filtered = MUDRegularExpression::compile(pattern, options);
    if (!filtered)
        return 0;
    const auto plain = MUDRegularExpression::compile(QStringLiteral("(?#unfiltered)") + pattern, options);
    if (!plain)
        abort();
    const qsizetype start = text.isEmpty() ? 0 : (data[0] >> 5) % (text.size() + 1);
    const CVRange range{start, text.size() - start};
    const auto a = filtered->matchesInString(text, range);
    const auto b = plain->matchesInString(text, range);
    if (a.size() != b.size())
        abort();
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].groups != b[i].groups)
            abort();
    }
    return 0;
}
