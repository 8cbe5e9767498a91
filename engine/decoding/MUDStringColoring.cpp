#include "engine/decoding/MUDStringColoring.h"

#include <QStringList>
#include <QVariantMap>
#include <vector>

#include "core/CVAttributedString.h"
#include "core/CVLogHelper.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"
#include "engine/decoding/MUDColors.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {
// A true-colour server can name millions of styles; past this many the cache starts over.
constexpr qsizetype kMaximumCachedStyles = 1024;
// Codes beyond this are unknown anyway; saturating keeps the arithmetic defined.
constexpr qint64 kMaximumCode = 999999999;
constexpr char kEscape = 0x1b;

QColor whitespaceColor()
{
    QColor color(Qt::white);
    color.setAlphaF(0.05f);
    return color;
}

// Keeps the batch the decoder hands over synchronously.
class BatchKeeper : public ANSIDataProcessorDelegate {
public:
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        batch = results;
    }
    ANSIDataProcessorResults batch;
};

bool isKeptByConversion(QChar c)
{
    return (c.unicode() >= 32 && c.unicode() < 127) || c == u'\n';
}
}

MUDStringColoring::MUDStringColoring()
{
    startOver();
    m_current = plainStyles();
}

void MUDStringColoring::prepareANSI(QByteArrayView sequence, const QFont& font)
{
    // ECMA-48 CSI form: ESC [ parameters final. Anything else (other CSI
    // finals, private markers, intermediates, OSC, short ESC forms) leaves
    // the style alone.
    if (sequence.size() < 3 || sequence[0] != kEscape || sequence[1] != '[' || sequence.back() != 'm')
        return;
    const QByteArrayView parameters = sequence.sliced(2, sequence.size() - 3);
    std::vector<qint64>& codes = m_codes;
    codes.assign(1, 0);
    bool inSubParameter = false;
    for (char c : parameters) {
        if (c == ';') {
            codes.push_back(0);
            inSubParameter = false;
        } else if (c == ':') {
            inSubParameter = true;
        } else if (c >= '0' && c <= '9') {
            if (!inSubParameter)
                codes.back() = std::min(codes.back() * 10 + (c - '0'), kMaximumCode);
        } else {
            return;
        }
    }
    const MUDColorDetails before = m_details;
    m_details.applyGraphicRendition(codes.data(), int(codes.size()));
    const bool fontChanged = !(font == m_font);
    useFont(font);
    // Servers often repeat the style in force; it needs no new formats.
    if (m_hasLastAttributes && !fontChanged && m_details == before)
        return;
    m_current = derivedStyles();
    m_hasLastAttributes = true;
}

void MUDStringColoring::colorAttributedString(CVAttributedString& string, const QFont& font)
{
    CVAttributedString styled;
    appendColoredText(styled, string.string(), font);
    string = std::move(styled);
}

void MUDStringColoring::appendColoredText(CVAttributedString& output, QStringView text, const QFont& font)
{
    MUDStyledText styled;
    appendColoredText(styled, text, font);
    styled.appendTo(output);
}

void MUDStringColoring::appendColoredText(MUDStyledText& output, QStringView text, const QFont& font)
{
    output.append(text, currentStyle(font));
}

MUDStyledText MUDStringColoring::styleBatch(const ANSIDataProcessorResults& results, const QFont& font,
                                            InvalidText* invalid)
{
    MUDStyledText text;
    qsizetype textBytes = 0;
    for (const ANSIDataProcessorResult result : results) {
        if (result.type() == ANSIResultType::Text)
            textBytes += result.data().size();
    }
    text.reserve(textBytes);
    for (const ANSIDataProcessorResult result : results) {
        if (result.type() == ANSIResultType::Command) {
            prepareANSI(result.data(), font);
        } else if (result.type() == ANSIResultType::Text) {
            // One stray byte must not cost the rest of the chunk.
            if (!text.appendUtf8(result.data(), currentStyle(font)) && invalid) {
                ++invalid->chunks;
                invalid->bytes += result.data().size();
            }
        }
    }
    return text;
}

CVAttributedString MUDStringColoring::createAttributedStringWithData(QByteArrayView data, const QFont& font)
{
    BatchKeeper keeper;
    ANSIDataProcessor(&keeper).processData(data);
    MUDStringColoring coloring;
    const MUDStyledText styled = coloring.styleBatch(keeper.batch, font);
    // Filtering the decoded characters keeps the same as filtering the
    // bytes would: decoding never merges an ASCII byte into another character.
    MUDStyledText kept;
    qsizetype start = 0;
    for (const MUDStyledText::Piece& piece : styled.pieces()) {
        QString pieceText = styled.string().sliced(start, piece.length);
        pieceText.removeIf([](QChar c) { return !isKeptByConversion(c); });
        kept.append(pieceText, piece.style);
        start += piece.length;
    }
    return kept.attributedString();
}

const MUDStyledText::Style& MUDStringColoring::currentStyle(const QFont& font)
{
    useFont(font);
    return m_current.style;
}

void MUDStringColoring::clearCache()
{
    m_details.clear();
    m_hasLastAttributes = false;
    m_current = plainStyles();
}

QString MUDStringColoring::description() const
{
    if (!m_hasLastAttributes)
        CVLog(QStringLiteral("MUDStringColoring: <nil>"));
    QStringList items;
    if (m_details.hasFlag(MUDColorDetails::Bold))
        items << QStringLiteral("Bold");
    if (m_details.hasFlag(MUDColorDetails::Underline))
        items << QStringLiteral("Underline");
    if (m_details.hasFlag(MUDColorDetails::Italic))
        items << QStringLiteral("Italic");
    if (m_details.foregroundColorCode() != 0)
        items << QStringLiteral("Foreground: %1").arg(m_details.foregroundColorCode());
    if (m_details.backgroundColorCode() != 0)
        items << QStringLiteral("Background: %1").arg(m_details.backgroundColorCode());
    return QStringLiteral("MUDStringColoring: %1").arg(items.join(QStringLiteral(", ")));
}

void MUDStringColoring::useFont(const QFont& font)
{
    if (font == m_font)
        return;
    m_font = font;
    startOver();
    m_current = m_hasLastAttributes ? derivedStyles() : plainStyles();
}

MUDStringColoring::Styles MUDStringColoring::derivedStyles()
{
    const QColor trueForeground = m_details.trueColorForeground();
    const QColor trueBackground = m_details.trueColorBackground();
    const StyleKey key{m_details.flags(),
                       m_details.foregroundColorCode(),
                       m_details.eightBitForegroundColorCode(),
                       m_details.backgroundColorCode(),
                       m_details.eightBitBackgroundColorCode(),
                       trueForeground.rgba(),
                       trueBackground.rgba(),
                       m_details.lastUsedForegroundColor().rgba(),
                       trueForeground.isValid(),
                       trueBackground.isValid()};
    if (auto cached = m_cache.constFind(key); cached != m_cache.constEnd()) {
        m_details.setLastUsedForegroundColor(cached->foreground);
        return *cached;
    }

    QColor background;
    const QColor foreground = MUDColors::sharedInstance().colorFromDetails(m_details, &background);
    QColor drawnForeground = foreground;
    QColor drawnBackground = background;
    if (m_details.hasFlag(MUDColorDetails::Reverse)) {
        drawnForeground = background.isValid() ? background : QColor(Qt::black);
        drawnBackground = foreground;
    }
    if (m_details.hasFlag(MUDColorDetails::Hidden))
        drawnForeground = QColor(Qt::transparent);

    if (m_cache.size() >= kMaximumCachedStyles)
        startOver();
    const bool underline = m_details.hasFlag(MUDColorDetails::Underline);
    const FormatSpec spec{true,
                          drawnForeground,
                          drawnBackground,
                          underline ? drawnForeground : QColor(),
                          m_details.flags(),
                          m_details.foregroundColorCode(),
                          m_details.backgroundColorCode()};
    const Styles styles = stylesFor(spec, foreground);
    m_cache.insert(key, styles);
    return styles;
}

MUDStringColoring::Styles MUDStringColoring::plainStyles()
{
    return stylesFor({false, QColor(Qt::white), {}, {}, 0, 0, 0}, QColor(Qt::white));
}

MUDStringColoring::Styles MUDStringColoring::stylesFor(FormatSpec spec, const QColor& foreground)
{
    Styles styles;
    const IdentifiedFormat text = intern(spec);
    spec.foreground = whitespaceColor();
    const IdentifiedFormat whitespace = intern(spec);
    styles.style =
        std::make_shared<const MUDTextStyle>(MUDTextStyle{text.format, text.id, whitespace.format, whitespace.id});
    styles.foreground = foreground;
    return styles;
}

MUDStringColoring::IdentifiedFormat MUDStringColoring::intern(const FormatSpec& spec)
{
    if (auto found = m_formats.constFind(spec); found != m_formats.constEnd())
        return *found;
    const IdentifiedFormat format{build(spec), {m_generation, quint32(m_formats.size())}};
    m_formats.insert(spec, format);
    return format;
}

QTextCharFormat MUDStringColoring::build(const FormatSpec& spec) const
{
    QTextCharFormat format;
    if (!spec.styled) {
        format.setFont(m_font);
        format.setForeground(spec.foreground);
        return format;
    }
    QFont font = m_font;
    if (spec.flags & MUDColorDetails::Italic)
        font.setItalic(true);
    // Bold picks the bright colours only; it never changes the font.
    format.setFont(font);
    format.setForeground(spec.foreground);
    if (spec.background.isValid())
        format.setBackground(spec.background);
    if (spec.flags & MUDColorDetails::Underline) {
        format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        format.setUnderlineColor(spec.underlineColor);
    } else {
        format.setUnderlineStyle(QTextCharFormat::NoUnderline);
    }
    format.setFontStrikeOut(spec.flags & MUDColorDetails::StrikeThrough);
    format.setProperty(MUDSectionDetailsProperty,
                       QVariantMap{{QStringLiteral("fg"), qulonglong(spec.foregroundColorCode)},
                                   {QStringLiteral("bg"), qulonglong(spec.backgroundColorCode)},
                                   {QStringLiteral("flags"), quint32(spec.flags)}});
    format.setProperty(MUDBlinkingProperty, (spec.flags & MUDColorDetails::Blink) ? 1 : 0);
    return format;
}

void MUDStringColoring::startOver()
{
    m_cache.clear();
    m_formats.clear();
    m_generation = CVFormatId::newGeneration();
}
