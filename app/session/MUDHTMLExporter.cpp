#include "app/session/MUDHTMLExporter.h"

#include <QDomDocument>
#include <QHash>

#include "core/CVColorHelpers.h"
#include "engine/decoding/MUDOutputModel.h"

namespace {

// Text without a colour of its own is drawn in the standard (light) text colour.
const QColor kStandardTextColor(Qt::white);

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

}

QString MUDHTMLExporter::xmlSafeText(const QString& text)
{
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            safe.append(c);
            safe.append(text.at(++i));
            continue;
        }
        if (!c.isSurrogate() && isXmlCharacter(c.unicode()))
            safe.append(c);
    }
    return safe;
}

QString MUDHTMLExporter::xmlStringRepresentation(const MUDOutputModel& output)
{
    // The tree is built directly rather than parsed from text: the parser of
    // this Qt drops text nodes made only of white space, which would eat the
    // output's blank lines.
    QDomDocument document;
    QDomElement meta = document.createElement(QStringLiteral("meta"));
    meta.setAttribute(QStringLiteral("charset"), QStringLiteral("utf-8"));
    document.appendChild(meta);
    QDomElement page = document.createElement(QStringLiteral("div"));
    page.setAttribute(QStringLiteral("style"), QStringLiteral("background-color: %1").arg(hexadecimalValue(Qt::black)));
    meta.appendChild(page);

    QHash<QRgb, QString> hexColors;
    QDomElement block;
    QString blockStyle;
    output.enumerateAttributes({0, output.length()}, [&](const QTextCharFormat& format, CVRange range, bool&) {
        if (format.hasProperty(QTextFormat::FontFamilies) || format.hasProperty(QTextFormat::FontFamily)) {
            const QString style = QStringLiteral("font-family: %1;").arg(format.font().family());
            if (block.isNull() || style.compare(blockStyle, Qt::CaseInsensitive) != 0) {
                block = document.createElement(QStringLiteral("pre"));
                block.setAttribute(QStringLiteral("style"), style + u' ');
                page.appendChild(block);
                blockStyle = style;
            }
        }
        const QColor color =
            format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : kStandardTextColor;
        auto hex = hexColors.find(color.rgba());
        if (hex == hexColors.end())
            hex = hexColors.insert(color.rgba(), hexadecimalValue(color));
        QDomElement span = document.createElement(QStringLiteral("span"));
        span.setAttribute(QStringLiteral("style"), QStringLiteral("color: %1;").arg(*hex));
        span.appendChild(document.createTextNode(xmlSafeText(output.text(range))));
        (block.isNull() ? page : block).appendChild(span);
    });
    return document.toString(4);
}
