#include "app/scripting/MUDRegexColoring.h"

#include <QStack>

#include "core/CVColorHelpers.h"

QColor MUDRegexColoring::groupColor()
{
    return hexToColor(u"#FF2500");
}

QColor MUDRegexColoring::pairColor()
{
    return hexToColor(u"#d28e5d");
}

QColor MUDRegexColoring::classColor()
{
    return hexToColor(u"#95c76f");
}

QColor MUDRegexColoring::operatorColor()
{
    return hexToColor(u"#00aba5");
}

QColor MUDRegexColoring::escapeColor()
{
    return hexToColor(u"#00cac3");
}

QList<MUDRegexColoring::Span> MUDRegexColoring::spansForPattern(const QString& pattern)
{
    QList<Span> spans;
    const auto paint = [&](qsizetype location, qsizetype length, const QColor& color) {
        spans.append(Span{CVRange{location, length}, color});
    };
    QStack<qsizetype> openGroups;
    int groupDepth = 0;
    int classDepth = 0;
    qsizetype classStart = -1;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const bool escaped = i > 0 && pattern[i - 1] == QLatin1Char('\\');
        const QChar next = i + 1 < pattern.size() ? pattern[i + 1] : QChar();
        if (!escaped && c == QLatin1Char('(')) {
            ++groupDepth;
            openGroups.push(i);
            paint(i, 1, groupColor());
        } else if (!escaped && c == QLatin1Char(')')) {
            paint(i, 1, groupColor());
            if (!openGroups.isEmpty()) {
                paint(i, 1, pairColor());
                paint(openGroups.pop(), 1, pairColor());
            }
            --groupDepth;
        } else if (!escaped && c == QLatin1Char('[')) {
            classStart = i;
            ++classDepth;
        } else if (!escaped && c == QLatin1Char(']') && classDepth > 0) {
            --classDepth;
            if (classStart >= 0)
                paint(classStart, i - classStart + 1, classColor());
            classStart = -1;
        } else if (classDepth == 0) {
            if (QStringView(u"$+.?^").contains(c))
                paint(i, 1, operatorColor());
            else if (c == QLatin1Char('\\') &&
                     (next == QLatin1Char('n') || next == QLatin1Char('r') || next == QLatin1Char('s')))
                paint(i, 2, escapeColor());
        }
    }
    if (classDepth != 0 && classStart >= 0)
        paint(classStart, pattern.size() - classStart, classColor());
    return spans;
}

QList<QColor> MUDRegexColoring::characterColors(const QString& pattern)
{
    QList<QColor> colors(pattern.size());
    for (const Span& span : spansForPattern(pattern)) {
        for (qsizetype i = span.range.location; i < span.range.location + span.range.length && i < colors.size(); ++i)
            colors[i] = span.color;
    }
    return colors;
}
