#include "app/views/MUDDisplayLayoutManager.h"

#include "app/views/MUDAppearance.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLine>
#include <QTextOption>
#include <algorithm>

#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStyledText.h"
#include "engine/storage/MirefoldUserPreferences.h"

namespace {
// Where a glyph has no room to fit (an empty width before the first resize).
constexpr qreal kUnboundedWidth = 1.0e6;
// The view keeps this many layouts beyond those on screen before trimming.
constexpr qsizetype kSpareLayouts = 256;
constexpr qreal kWhitespaceMarkAlpha = 0.05;
constexpr qreal kWhitespaceMarkShift = 6.0;

// White space shows no glyph, so its foreground shows only in the lines
// drawn with the text's pen: strike-out, overline and an underline without
// a colour of its own. Without those, formats that differ in foreground
// alone draw white space alike.
bool whitespaceDrawsAlike(const QTextCharFormat& text, const QTextCharFormat& whitespace)
{
    if (text == whitespace)
        return true;
    for (const QTextCharFormat* format : {&text, &whitespace}) {
        if (format->fontStrikeOut() || format->fontOverline() ||
            (format->fontUnderline() && !format->underlineColor().isValid()))
            return false;
    }
    QTextCharFormat recoloured = whitespace;
    recoloured.setForeground(text.foreground());
    return recoloured == text;
}
}

MUDDisplayLayoutManager::MUDDisplayLayoutManager(const MUDOutputModel& model)
    : m_model(model)
    , m_displayLines(model)
{
    setFont(m_font);
}

MUDDisplayLayoutManager::~MUDDisplayLayoutManager() = default;

void MUDDisplayLayoutManager::setFont(const QFont& font)
{
    m_font = font;
    // Runs keep the font they arrived in; the view draws them in its own
    // font (the player may have chosen another since), keeping their italic.
    QTextCharFormat fontFormat;
    fontFormat.setFont(m_font, QTextCharFormat::FontPropertiesSpecifiedOnly);
    m_fontOverride = QTextCharFormat();
    for (const int property : {QTextFormat::FontFamilies, QTextFormat::FontPointSize, QTextFormat::FontStyleHint}) {
        if (fontFormat.hasProperty(property))
            m_fontOverride.setProperty(property, fontFormat.property(property));
    }
    // Server text lines up on tab stops eight spaces apart.
    m_tabWidth = QFontMetricsF(m_font).horizontalAdvance(QString(8, u' '));
    invalidateAll();
}

void MUDDisplayLayoutManager::setWidth(qreal width)
{
    const qreal lineWidth = std::max(width - 2 * Margin, qreal(1));
    if (qFuzzyCompare(lineWidth, m_width))
        return;
    m_width = lineWidth;
    invalidateAll();
}

void MUDDisplayLayoutManager::setLinkColor(const QColor& color)
{
    if (color == m_linkColor)
        return;
    m_linkColor = color;
    invalidateAll();
}

void MUDDisplayLayoutManager::setHighContrast(bool on, const QColor& background)
{
    if (on == m_highContrast && background == m_background)
        return;
    m_highContrast = on;
    m_background = background;
    invalidateAll();
}

qsizetype MUDDisplayLayoutManager::outputChanged(qsizetype position)
{
    const qsizetype changed = m_displayLines.update(position);
    invalidateFrom(changed);
    return changed;
}

const MUDDisplayLayoutManager::Entry& MUDDisplayLayoutManager::entry(qsizetype line)
{
    auto found = m_layouts.lower_bound(line);
    if (found != m_layouts.end() && found->first == line)
        return found->second;
    Entry built;
    built.layout = buildLayout(line);
    built.height = built.layout->boundingRect().height();
    ++m_layoutsBuilt;
    return m_layouts.emplace_hint(found, line, std::move(built))->second;
}

std::unique_ptr<QTextLayout> MUDDisplayLayoutManager::buildLayout(qsizetype line) const
{
    const CVRange range = displayedRange(line);
    QString text = m_model.text(range);
    // A carriage return is a line-ending habit of servers, not a glyph.
    text.replace(u'\r', u' ');

    QList<QTextLayout::FormatRange> formats;
    auto addFormat = [&](qsizetype start, qsizetype length, const QTextCharFormat& attributes) {
        QTextCharFormat format = attributes;
        format.merge(m_fontOverride);
        if (format.isAnchor()) {
            format.setFontUnderline(true);
            if (!format.hasProperty(QTextFormat::ForegroundBrush))
                format.setForeground(m_linkColor);
        }
        if (m_highContrast && format.hasProperty(QTextFormat::ForegroundBrush)) {
            const QColor background =
                format.hasProperty(QTextFormat::BackgroundBrush) ? format.background().color() : m_background;
            format.setForeground(MUDAppearance::highContrastColor(format.foreground().color(), background));
        }
        formats.append({int(start), int(length), format});
    };
    // Every format range splits the line into more shaping items: white
    // space that looks the same in the text's format joins the text.
    m_model.enumerateStyleRuns(
        range, [&](const QTextCharFormat& textFormat, const QTextCharFormat& whitespaceFormat, CVRange run) {
            const qsizetype start = run.location - range.location;
            if (whitespaceDrawsAlike(textFormat, whitespaceFormat)) {
                addFormat(start, run.length, textFormat);
                return;
            }
            MUDStyledText::forEachStretch(QStringView(text).sliced(start, run.length),
                                          [&](qsizetype from, qsizetype length, bool space) {
                                              addFormat(start + from, length, space ? whitespaceFormat : textFormat);
                                          });
        });

    auto layout = std::make_unique<QTextLayout>(text, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(m_tabWidth);
    layout->setTextOption(option);
    layout->setFormats(formats);
    layout->setCacheEnabled(true);
    const qreal width = m_width > 0 ? m_width : kUnboundedWidth;
    qreal y = 0;
    layout->beginLayout();
    for (QTextLine row = layout->createLine(); row.isValid(); row = layout->createLine()) {
        row.setLineWidth(width);
        row.setPosition({0, y});
        y += row.height();
    }
    layout->endLayout();
    return layout;
}

void MUDDisplayLayoutManager::invalidateFrom(qsizetype line)
{
    m_layouts.erase(m_layouts.lower_bound(line), m_layouts.end());
}

void MUDDisplayLayoutManager::invalidateAll()
{
    m_layouts.clear();
}

void MUDDisplayLayoutManager::retainOnly(qsizetype first, qsizetype last)
{
    if (qsizetype(m_layouts.size()) <= (last - first + 1) + kSpareLayouts)
        return;
    m_layouts.erase(m_layouts.begin(), m_layouts.lower_bound(first));
    m_layouts.erase(m_layouts.upper_bound(last), m_layouts.end());
}

QList<QRectF> MUDDisplayLayoutManager::rangeRects(qsizetype line, CVRange lineRange)
{
    const QTextLayout& lineLayout = layout(line);
    QList<QRectF> rects;
    const qsizetype end = lineRange.end();
    for (int i = 0; i < lineLayout.lineCount(); ++i) {
        const QTextLine row = lineLayout.lineAt(i);
        const qsizetype start = std::max<qsizetype>(lineRange.location, row.textStart());
        const qsizetype stop = std::min<qsizetype>(end, row.textStart() + row.textLength());
        if (start >= stop)
            continue;
        const qreal left = row.cursorToX(int(start));
        const qreal right = row.cursorToX(int(stop));
        rects.append(QRectF(std::min(left, right), row.y(), std::abs(right - left), row.height()));
    }
    return rects;
}

qsizetype MUDDisplayLayoutManager::offsetAt(qsizetype line, QPointF point)
{
    const QTextLayout& lineLayout = layout(line);
    if (lineLayout.lineCount() == 0)
        return 0;
    QTextLine row = lineLayout.lineAt(0);
    for (int i = 0; i < lineLayout.lineCount(); ++i) {
        row = lineLayout.lineAt(i);
        if (point.y() < row.y() + row.height())
            break;
    }
    return row.xToCursor(point.x());
}

void MUDDisplayLayoutManager::drawLine(QPainter& painter, qsizetype line, QPointF origin,
                                       const QList<QTextLayout::FormatRange>& overlays, const QColor& textColor)
{
    if (MirefoldUserPreferences::sharedInstance().showWhitespace())
        drawWhitespaceMarks(painter, line, origin, textColor);
    painter.setPen(textColor);
    layout(line).draw(&painter, origin, overlays.toVector());
}

void MUDDisplayLayoutManager::drawWhitespaceMarks(QPainter& painter, qsizetype line, QPointF origin,
                                                  const QColor& textColor)
{
    const QTextLayout& lineLayout = layout(line);
    const CVRange range = displayedRange(line);
    QColor color = textColor;
    color.setAlphaF(kWhitespaceMarkAlpha);
    painter.save();
    painter.setFont(m_font);
    painter.setPen(color);
    auto drawMark = [&](QStringView mark, int position) {
        const QTextLine row = lineLayout.lineForTextPosition(position);
        if (!row.isValid())
            return;
        const QPointF at(origin.x() + row.cursorToX(position) + kWhitespaceMarkShift,
                         origin.y() + row.y() + row.ascent());
        painter.drawText(at, mark.toString());
    };
    for (qsizetype i = 0; i < range.length; ++i) {
        const char16_t c = m_model.characterAt(range.location + i);
        if (c == u' ')
            drawMark(u"\u00b7", int(i));
        else if (c == u'\t')
            drawMark(u"\u2026", int(i));
    }
    const qsizetype outputLine = m_displayLines.outputLine(line);
    if (m_displayLines.endsOutputLine(line) && m_model.lineRange(outputLine).end() > range.end())
        drawMark(u"\u23ce", int(range.length));
    painter.restore();
}
