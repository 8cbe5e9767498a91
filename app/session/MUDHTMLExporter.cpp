#include "app/session/MUDHTMLExporter.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QXmlStreamWriter>

#include "core/CVColorHelpers.h"
#include "core/CVStringHelpers.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStyledText.h"
#include "engine/storage/MUDPreservation.h"

namespace {

// Text without a colour of its own is drawn in the standard (light) text colour.
const QColor kStandardTextColor(Qt::white);

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool isBlank(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return MUDStyledText::isWhitespace(c.unicode()); });
}

// Writes the page. Indentation goes only between the page's own elements:
// inside a pre block every character is shown, so it gets the text alone.
class PageWriter {
public:
    explicit PageWriter(QString* html)
        : m_writer(html)
    {
        m_writer.writeStartElement(QStringLiteral("meta"));
        m_writer.writeAttribute(QStringLiteral("charset"), QStringLiteral("utf-8"));
        m_writer.writeCharacters(QStringLiteral("\n    "));
        m_writer.writeStartElement(QStringLiteral("div"));
        m_writer.writeAttribute(QStringLiteral("style"),
                                QStringLiteral("background-color: %1").arg(hexadecimalValue(Qt::black)));
    }

    // A run in `family` (empty: no font of its own) and `color`.
    void writeRun(const QString& family, const QColor& color, const QString& text)
    {
        if (!family.isEmpty()) {
            const QString style = QStringLiteral("font-family: %1;").arg(family);
            if (!m_inBlock || style.compare(m_blockStyle, Qt::CaseInsensitive) != 0)
                openBlock(style);
        }
        if (text.isEmpty())
            return;
        // White space shows no colour: it joins the span before it rather
        // than splitting the line into a span per word.
        const QString& hex = hexFor(color);
        if (!m_inSpan || (hex != m_spanHex && !isBlank(text))) {
            closeSpan();
            m_writer.writeStartElement(QStringLiteral("span"));
            m_writer.writeAttribute(QStringLiteral("style"), QStringLiteral("color: %1;").arg(hex));
            m_inSpan = true;
            m_spanHex = hex;
        }
        m_writer.writeCharacters(text);
    }

    void finish()
    {
        closeBlock();
        m_writer.writeCharacters(QStringLiteral("\n    "));
        m_writer.writeEndElement(); // div
        m_writer.writeCharacters(QStringLiteral("\n"));
        m_writer.writeEndElement(); // meta
    }

private:
    void openBlock(const QString& style)
    {
        closeBlock();
        m_writer.writeCharacters(QStringLiteral("\n        "));
        m_writer.writeStartElement(QStringLiteral("pre"));
        m_writer.writeAttribute(QStringLiteral("style"), style + u' ');
        m_inBlock = true;
        m_blockStyle = style;
    }
    void closeBlock()
    {
        closeSpan();
        if (m_inBlock)
            m_writer.writeEndElement();
        m_inBlock = false;
    }
    void closeSpan()
    {
        if (m_inSpan)
            m_writer.writeEndElement();
        m_inSpan = false;
    }
    const QString& hexFor(const QColor& color)
    {
        auto hex = m_hexColors.find(color.rgba());
        if (hex == m_hexColors.end())
            hex = m_hexColors.insert(color.rgba(), hexadecimalValue(color));
        return *hex;
    }

    QXmlStreamWriter m_writer;
    QHash<QRgb, QString> m_hexColors;
    bool m_inBlock = false;
    QString m_blockStyle;
    bool m_inSpan = false;
    QString m_spanHex;
};

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
    QString html;
    PageWriter page(&html);
    // A style run's white space may be drawn faintly apart from its
    // characters; in the page it takes the run's colour, so a run is one
    // stretch of text whatever its gaps.
    output.enumerateStyleRuns(
        {0, output.length()}, [&](const QTextCharFormat& format, const QTextCharFormat&, CVRange range) {
            const bool hasFont =
                format.hasProperty(QTextFormat::FontFamilies) || format.hasProperty(QTextFormat::FontFamily);
            const QColor color =
                format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : kStandardTextColor;
            // Servers end lines with CR LF; the page, like the clipboard, keeps the LF.
            QString text = xmlSafeText(output.text(range));
            text.remove(u'\r');
            page.writeRun(hasFont ? format.font().family() : QString(), color, text);
        });
    page.finish();
    return html;
}

QString MUDHTMLExporter::capturePath(const QString& title, qint64 secondsSince1970)
{
    // The title names a folder: keep it to one safe path component.
    QString folder = escapeForFileName(title);
    if (folder.isEmpty() || folder == u"." || folder == u"..")
        folder = QStringLiteral("untitled");
    return QStringLiteral("%1/capture/%2/%3.log.html")
        .arg(MUDPreservation::rootDirectoryPreservation(), folder)
        .arg(secondsSince1970);
}

bool MUDHTMLExporter::writeCapture(const MUDOutputModel& output, const QString& title, qint64 secondsSince1970)
{
    const QString path = capturePath(title, secondsSince1970);
    QDir().mkpath(QFileInfo(path).path());
    return MUDPreservation::saveData(xmlStringRepresentation(output).toUtf8(), path);
}
