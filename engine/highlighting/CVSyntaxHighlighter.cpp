#include "engine/highlighting/CVSyntaxHighlighter.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>

#include "core/CVLogHelper.h"
#include "engine/highlighting/CVHighlightableAttributedString.h"
#include "engine/highlighting/CVHighlightableLayoutManager.h"

namespace {
constexpr double kSlowDeltaSeconds = 0.3;
constexpr double kSlowExtraSeconds = 0.2;

QColor debugColorFor(const QColor& text)
{
    QColor color = text;
    color.setAlphaF(0.1f);
    return color;
}

QString base64(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

// A token equals the probe when their ranges intersect or touch.
int touchingOrder(CVRange entry, CVRange probe)
{
    if (entry.intersectsOrTouches(probe))
        return 0;
    return entry.location < probe.location ? -1 : 1;
}

// A token equals the probe when their ranges share a character.
int intersectingOrder(CVRange entry, CVRange probe)
{
    if (entry.intersects(probe))
        return 0;
    return entry.end() <= probe.location ? -1 : 1;
}
}

CVSyntaxHighlighter::CVSyntaxHighlighter(QTextDocument* textStorage)
    : m_textStorage(textStorage)
    , m_debugHighlightColor(debugColorFor(labelColor()))
{
    if (!textStorage)
        return;
    // A document only reports content changes once it has a layout.
    textStorage->documentLayout();
    connect(textStorage, &QTextDocument::contentsChange, this, &CVSyntaxHighlighter::onContentsChange);
}

CVSyntaxHighlighter::~CVSyntaxHighlighter() = default;

QColor CVSyntaxHighlighter::labelColor()
{
    return QGuiApplication::palette().color(QPalette::Text);
}

QFont CVSyntaxHighlighter::systemFont()
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

void CVSyntaxHighlighter::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled) {
        invalidateAllSyntax();
        return;
    }
    m_rendered.clear();
    CVHighlightableLayoutManager target(m_textStorage);
    paintPlain({0, target.length()}, target);
}

void CVSyntaxHighlighter::setTheme(const QVariant& theme)
{
    m_theme = theme;
    m_debugHighlightColor = debugColorFor(labelColor());
    m_debugDeltaRange = {CVRange::NotFound, CVRange::NotFound};
}

void CVSyntaxHighlighter::setDebugEnabled(bool debugEnabled)
{
    m_debugEnabled = debugEnabled;
    invalidateAllSyntax();
}

void CVSyntaxHighlighter::invalidateAllSyntax()
{
    clearEntries();
    m_textValid = false;
    syncText(0, 0, 0);
    processText({0, m_text.size()});
}

void CVSyntaxHighlighter::onContentsChange(int position, int charsRemoved, int charsAdded)
{
    syncText(position, charsRemoved, charsAdded);
    const qsizetype length = m_text.size();
    const qsizetype location = std::clamp<qsizetype>(position, 0, length);
    const CVRange edited{location, std::clamp<qsizetype>(charsAdded, 0, length - location)};
    textStorageDidProcessEditing(edited);
    // Layout formats do not move with the text: the blocks of the edit are
    // painted again when next drawn.
    if (m_textStorage && !m_entries.isEmpty()) {
        const QTextBlock first = m_textStorage->findBlock(int(edited.location));
        const QTextBlock last = m_textStorage->findBlock(int(edited.end()));
        const qsizetype end = last.isValid() ? last.position() + last.length() : length;
        forgetRenderedRange({first.position(), end - first.position()});
    }
}

void CVSyntaxHighlighter::syncText(int position, int charsRemoved, int charsAdded)
{
    if (!m_textStorage)
        return;
    const qsizetype oldLength = m_text.size();
    const qsizetype newLength = m_textStorage->characterCount() - 1;
    const qsizetype removed = std::min<qsizetype>(charsRemoved, oldLength - position);
    const qsizetype added = std::min<qsizetype>(charsAdded, newLength - position);
    // Qt may report a change as larger than the text (the final paragraph
    // separator is counted); when the counts do not add up, read everything.
    if (!m_textValid || position > oldLength || removed < 0 || added < 0 || oldLength - removed + added != newLength) {
        m_text = m_textStorage->toRawText();
        m_text.replace(QChar::ParagraphSeparator, u'\n');
        m_textValid = true;
        return;
    }
    QTextCursor cursor(m_textStorage);
    cursor.setPosition(position);
    cursor.setPosition(int(position + added), QTextCursor::KeepAnchor);
    m_text.replace(position, removed, cursor.selectedText().replace(QChar::ParagraphSeparator, u'\n'));
}

void CVSyntaxHighlighter::textStorageDidProcessEditing(CVRange editedRange)
{
    if (!m_enabled)
        return;
    const qsizetype length = m_text.size();
    if (length == 0) {
        clearEntries();
        m_oversized = false;
        return;
    }
    if (length == m_lastStringLength && editedRange.length == 0)
        return;
    if (length < MaximumLength) {
        m_oversized = false;
        processText(editedRange);
        if (m_delegate)
            m_delegate->finishedTextStorageDidProcessEditing(this);
        return;
    }
    if (!m_oversized)
        CVLog(QStringLiteral("Disabled syntax highlighting (string length: %1)").arg(length));
    // Stale entries must not survive into a later, shorter text.
    m_oversized = true;
    clearEntries();
    m_lastStringLength = 0;
}

void CVSyntaxHighlighter::clearEntries()
{
    m_entries.removeAllObjects();
    m_shifts.clear();
    m_rendered.clear();
}

const CVTokenizerTokenArray& CVSyntaxHighlighter::syntaxHighlightEntries() const
{
    applyPendingShifts();
    return m_entries;
}

CVRange CVSyntaxHighlighter::rangeAt(qsizetype index) const
{
    CVRange range = m_entries[index]->range();
    range.location += m_shifts.offsetAt(index);
    return range;
}

void CVSyntaxHighlighter::setRangeAt(qsizetype index, CVRange range)
{
    m_entries[index]->setRange({range.location - m_shifts.offsetAt(index), range.length});
}

void CVSyntaxHighlighter::applyPendingShifts() const
{
    m_shifts.takeRuns(m_entries.count(), [this](qsizetype from, qsizetype to, qsizetype offset) {
        for (qsizetype i = from; i < to; ++i) {
            const CVRange range = m_entries[i]->range();
            m_entries[i]->setRange({range.location + offset, range.length});
        }
    });
}

void CVSyntaxHighlighter::fullParse()
{
    clearEntries();
    m_entries.addObjectsFromArray(parseString(m_text));
    m_debugDeltaRange = {0, m_text.size()};
}

void CVSyntaxHighlighter::processText(CVRange editedRange)
{
    const qsizetype length = m_text.size();
    if (length >= MaximumLength || length == 0) {
        clearEntries();
        return;
    }
    const bool full = m_entries.isEmpty() || !m_entries.validateRange() ||
                      (editedRange.location == 0 && editedRange.length == length);
    if (full) {
        fullParse();
    } else {
        QElapsedTimer timer;
        timer.start();
        const DeltaResult result = processDeltaHighlight(editedRange);
        const double elapsed = timer.nsecsElapsed() / 1e9;
        if (!result.extended)
            CVLogHelper::sharedInstance().logErrorMessage(QStringLiteral("SyntaxHighlighter::processDelta"),
                                                          QStringLiteral("com.corvane.tabula.slow.syntaxProcessDelta"),
                                                          {{"QueryLength", length},
                                                           {"ProcessLength", result.processedLength},
                                                           {"Extended", result.extended},
                                                           {"RequiredFull", result.requiredFull},
                                                           {"DebugDeltaRange", m_debugDeltaRange.toString()}},
                                                          elapsed, kSlowDeltaSeconds);
    }
    while (!m_entries.isEmpty() && rangeAt(m_entries.count() - 1).location >= length)
        removeEntries(m_entries.count() - 1, m_entries.count());
    m_lastString = m_text;
    if (m_delegate)
        m_delegate->highlighterFinishedHighlighting(this, editedRange);
    m_lastStringLength = length;
}

CVSyntaxHighlighter::DeltaResult CVSyntaxHighlighter::processDeltaHighlight(CVRange editedRange)
{
    DeltaResult result;
    const qsizetype oldLength = m_lastStringLength;
    const qsizetype newLength = m_text.size();
    if (newLength == 0) {
        clearEntries();
        return result;
    }
    if (m_entries.count() < 2) {
        fullParse();
        result.requiredFull = true;
        return result;
    }
    const qsizetype added = newLength > oldLength ? newLength - oldLength : 0;
    const qsizetype removed = newLength < oldLength ? oldLength - newLength : 0;
    if (m_debugEnabled)
        CVLog(QStringLiteral("DEbug break"));

    qsizetype index = entryIndexAtEdit(editedRange, oldLength, newLength);
    updateTextHighlightRanges(index, added - removed, editedRange);
    if (editedRange.end() >= newLength) {
        while (!m_entries.isEmpty() && rangeAt(m_entries.count() - 1).location >= newLength)
            removeEntries(m_entries.count() - 1, m_entries.count());
        if (!m_entries.isEmpty()) {
            const qsizetype last = m_entries.count() - 1;
            const qsizetype location = rangeAt(last).location;
            setRangeAt(last, {location, newLength - location});
        }
        index = std::max<qsizetype>(index - 1, 0);
    }
    if (m_entries.count() < 2) {
        fullParse();
        result.requiredFull = true;
        return result;
    }
    index = std::min(index, m_entries.count() - 1);

    // Re-scan from the nearest entry that ends before the edit through the
    // first entry that starts past the edited text.
    qsizetype first = index;
    while (first > 0 && rangeAt(first).end() > editedRange.location)
        --first;
    const qsizetype start = first == 0 ? 0 : rangeAt(first).location;
    const qsizetype target = std::min(editedRange.location + editedRange.length + added + removed, newLength);
    qsizetype end = rangeAt(first).end();
    if (end < target) {
        qsizetype last = first;
        while (last < m_entries.count() - 1 && rangeAt(last).location < target)
            ++last;
        // The last entry reaches the end of the text, even when the entries
        // that followed the edit were all overrun and removed.
        end = last == m_entries.count() - 1 ? newLength : std::min(rangeAt(last).end(), newLength);
    }
    const CVRange rescan{start, end - start};
    result.processedLength = rescan.length;
    m_debugDeltaRange = rescan;

    int errorCode = -1;
    if (rescan.length <= 0)
        errorCode = 0;
    else if (rescan.location < 0)
        errorCode = 1;
    else if (rescan.end() > newLength)
        errorCode = 2;
    if (errorCode >= 0 || rescan.location >= newLength) {
        if (errorCode >= 0)
            logRescanError(QStringLiteral("syntaxoutofrange2"), QStringLiteral("syntaxoutofrange2-1"), rescan,
                           editedRange, errorCode);
        else
            logRescanError(QStringLiteral("syntaxoutofrange3"), QStringLiteral("syntaxoutofrange2-1"), rescan,
                           editedRange, 3);
        fullParse();
        result.requiredFull = true;
        return result;
    }
    result.extended = processDeltaInRange(rescan, first);
    if (!isTilingAround(first - 1, first + 2)) {
        logRescanError(QStringLiteral("syntaxrepairbroken"), QStringLiteral("syntaxoutofrange2-1"), rescan, editedRange,
                       4);
        fullParse();
        result.requiredFull = true;
    }
    return result;
}

qsizetype CVSyntaxHighlighter::findParserWithRange(CVRange range) const
{
    return firstEntryMatching(range, touchingOrder);
}

qsizetype CVSyntaxHighlighter::firstEntryMatching(CVRange probe, int (*order)(CVRange entry, CVRange probe)) const
{
    return m_entries.indexInSortedRange({0, m_entries.count()},
                                        [&](qsizetype index) { return order(rangeAt(index), probe); });
}

qsizetype CVSyntaxHighlighter::entryIndexAtEdit(CVRange editedRange, qsizetype oldLength, qsizetype newLength)
{
    if (editedRange.location == 0)
        return 0;
    qsizetype index = findParserWithRange({editedRange.location, 0});
    if (index == CVRange::NotFound && newLength < oldLength)
        index = m_entries.count() - 1;
    else if (index != CVRange::NotFound && index > 0 && rangeAt(index).location == editedRange.location)
        --index;
    if (index == CVRange::NotFound) {
        const qsizetype before = findParserWithRange({editedRange.location - 1, 0});
        if (before != CVRange::NotFound && before + 1 < m_entries.count())
            index = before + 1;
    }
    if (index == CVRange::NotFound) {
        index = m_entries.count() - 1;
        CVLogHelper::sharedInstance().logError(
            QStringLiteral("syntaxoutofrange"),
            {{"domain", "syntaxoutofrange"},
             {"inputString", m_text},
             {"lastString", m_lastString.isNull() ? QStringLiteral("<nil>") : m_lastString},
             {"entries", m_entries.count()}});
    }
    return index;
}

void CVSyntaxHighlighter::updateTextHighlightRanges(qsizetype index, qsizetype change, CVRange editedRange)
{
    const CVRange range = rangeAt(index);
    qsizetype length = range.length + change;
    if (length < 0)
        length = editedRange.location - range.location;
    const bool gone = length <= 0;
    if (!gone)
        setRangeAt(index, {range.location, length});
    const qsizetype editedEnd = gone ? (index > 0 ? rangeAt(index - 1).end() : 0) : range.location + length;
    // Every later entry moves by the change, recorded once rather than
    // written into each of them.
    m_shifts.shiftFrom(index + 1, change);
    // Shifted entries that would now start inside the edited one are overrun;
    // being in text order, they form one run right after it.
    qsizetype removeEnd = index + 1;
    while (removeEnd < m_entries.count() && rangeAt(removeEnd).location < editedEnd)
        ++removeEnd;
    removeEntries(gone ? index : index + 1, removeEnd);
    if (m_shifts.boundaryCount() > CVPendingShifts::MaximumBoundaries)
        applyPendingShifts();
}

bool CVSyntaxHighlighter::processDeltaInRange(CVRange range, qsizetype firstEntryIndex)
{
    const qsizetype length = m_text.size();
    const QString piece = m_text.mid(range.location, range.length);
    QList<CVTokenizerTokenPtr> tokens = parseString(piece);
    bool extended = false;
    if (range.end() < length && !tokens.isEmpty()) {
        const CVTokenizerToken& last = *tokens.last();
        const QStringView lastText = QStringView(piece).mid(last.range().location, last.range().length);
        if (needsToExpandParserStringType(last, lastText) ||
            tokens.first()->type() != m_entries[firstEntryIndex]->type()) {
            extended = true;
            QElapsedTimer timer;
            timer.start();
            removeEntries(firstEntryIndex, m_entries.count());
            tokens = parseString(m_text.mid(range.location));
            CVLogHelper::sharedInstance().logErrorMessage(
                QStringLiteral("SyntaxHighlighter::HighlightExtras"),
                QStringLiteral("com.corvane.tabula.slow.syntaxHighlightExtra"), {{"QueryLength", length}},
                timer.nsecsElapsed() / 1e9, kSlowExtraSeconds);
        }
    }
    for (const CVTokenizerTokenPtr& token : tokens)
        token->setRange({token->range().location + range.location, token->range().length});
    qsizetype end = firstEntryIndex;
    while (!extended && end < m_entries.count() && rangeAt(end).location < range.end())
        ++end;
    replaceEntries(std::min(firstEntryIndex, m_entries.count()), end, tokens);
    return extended;
}

void CVSyntaxHighlighter::replaceEntries(qsizetype from, qsizetype to, const QList<CVTokenizerTokenPtr>& tokens)
{
    to = std::max(from, std::min(to, m_entries.count()));
    for (qsizetype i = from; i < to; ++i)
        m_rendered.erase(m_entries[i]);
    // Overwrite in place so the tail of a long array moves at most once.
    const qsizetype common = std::min(to - from, tokens.size());
    for (qsizetype i = 0; i < common; ++i)
        m_entries.setObject(tokens[i], from + i);
    if (to - from > common) {
        m_entries.removeObjectsInRange({from + common, to - from - common});
        m_shifts.entriesRemoved(from + common, to);
    } else {
        m_entries.insertObjects(tokens.mid(common), from + common);
        m_shifts.entriesInserted(from + common, tokens.size() - common);
    }
    // The new tokens hold true positions; store them as their slots expect.
    for (qsizetype i = 0; i < tokens.size(); ++i)
        setRangeAt(from + i, tokens[i]->range());
}

void CVSyntaxHighlighter::removeEntries(qsizetype from, qsizetype to)
{
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, m_entries.count());
    if (from >= to)
        return;
    for (qsizetype i = from; i < to; ++i)
        m_rendered.erase(m_entries[i]);
    m_entries.removeObjectsInRange({from, to - from});
    m_shifts.entriesRemoved(from, to);
}

bool CVSyntaxHighlighter::isTilingAround(qsizetype from, qsizetype to) const
{
    const qsizetype count = m_entries.count();
    if (count == 0 || rangeAt(0).location != 0 || rangeAt(count - 1).end() != m_text.size())
        return false;
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, count - 1);
    for (qsizetype i = from; i <= to; ++i) {
        if (rangeAt(i).length <= 0)
            return false;
        if (i > 0 && rangeAt(i).location != rangeAt(i - 1).end())
            return false;
    }
    return true;
}

void CVSyntaxHighlighter::logRescanError(const QString& description, const QString& domain, CVRange targetRange,
                                         CVRange editedRange, int errorCode)
{
    CVLogHelper::sharedInstance().logError(
        description, {{"domain", domain},
                      {"inputString", base64(m_text)},
                      {"lastString", m_lastString.isNull() ? QStringLiteral("\n") : base64(m_lastString)},
                      {"entries", m_entries.count()},
                      {"targetRange", targetRange.toString()},
                      {"editRange", editedRange.toString()},
                      {"inputStringLength", m_text.size()},
                      {"errorCode", errorCode}});
}

void CVSyntaxHighlighter::forgetRenderedRange(CVRange range)
{
    qsizetype index = firstEntryMatching(range, touchingOrder);
    for (; index != CVRange::NotFound && index < m_entries.count() && rangeAt(index).location <= range.end(); ++index)
        m_rendered.erase(m_entries[index]);
}

void CVSyntaxHighlighter::highlightRange(CVRange range, bool clearCache)
{
    if (!m_textStorage)
        return;
    if (clearCache) {
        // Entries starting or ending in the range all meet it: one run.
        qsizetype index = firstEntryMatching(range, touchingOrder);
        for (; index != CVRange::NotFound && index < m_entries.count() && rangeAt(index).intersectsOrTouches(range);
             ++index) {
            const CVRange entry = rangeAt(index);
            if (range.contains(entry.location) || range.contains(entry.end()))
                m_rendered.erase(m_entries[index]);
        }
    }
    CVHighlightableLayoutManager target(m_textStorage);
    highlightRange(range, target, true);
}

void CVSyntaxHighlighter::highlightRange(CVRange range, CVHighlightable& highlightable, bool useCache)
{
    if (m_oversized || !m_enabled) {
        paintPlain(range, highlightable);
        return;
    }
    qsizetype first = firstEntryMatching(range, intersectingOrder);
    if (first == CVRange::NotFound) {
        if (m_entries.isEmpty() || range != CVRange{0, 0})
            return;
        first = 0;
    }
    qsizetype last = first;
    while (last + 1 < m_entries.count() && rangeAt(last + 1).intersects(range))
        ++last;
    highlightStringTypes(first, last, highlightable, range, useCache);
}

CVAttributedString CVSyntaxHighlighter::highlightedAttributedStringForRange(CVRange range)
{
    CVAttributedString copy(m_text);
    CVHighlightableAttributedString target(copy);
    highlightRange(range, target, false);
    return copy.substring(range);
}

CVAttributedString CVSyntaxHighlighter::highlightString(const QString& string, const QVariant& theme) const
{
    CVAttributedString result(string);
    CVHighlightableAttributedString target(result);
    target.beginEditing();
    for (const CVTokenizerTokenPtr& token : parseString(string))
        highlightParserStringType(*token, target, theme);
    target.endEditing();
    return result;
}

void CVSyntaxHighlighter::highlightStringTypes(qsizetype first, qsizetype last, CVHighlightable& highlightable,
                                               CVRange targetRange, bool useCache)
{
    highlightable.beginEditing();
    if (m_debugEnabled) {
        highlightable.removeAttribute(QTextFormat::BackgroundBrush, targetRange);
        if (!m_debugDeltaRange.isNotFound())
            highlightable.addAttribute(QTextFormat::BackgroundBrush, QBrush(m_debugHighlightColor), m_debugDeltaRange);
    }
    const qsizetype length = highlightable.length();
    for (qsizetype i = first; i <= last; ++i) {
        const CVTokenizerTokenPtr& entry = m_entries[i];
        if (useCache && !m_rendered.insert(entry).second)
            continue;
        const CVRange where = rangeAt(i);
        if (where.end() > length)
            continue;
        if (where == entry->range()) {
            highlightParserStringType(*entry, highlightable, m_theme);
        } else {
            // A token that lags behind its edits is painted through a copy in place.
            const CVTokenizerTokenPtr placed = entry->copy();
            placed->setRange(where);
            highlightParserStringType(*placed, highlightable, m_theme);
        }
    }
    highlightable.endEditing();
}

void CVSyntaxHighlighter::paintPlain(CVRange range, CVHighlightable& highlightable) const
{
    highlightable.beginEditing();
    if (m_oversized) {
        // Too long to highlight: shown plain in the system font, so the
        // reader sees at once that this text is treated differently.
        QTextCharFormat plain;
        plain.setForeground(labelColor());
        plain.setFont(systemFont(), QTextCharFormat::FontPropertiesAll);
        highlightable.addAttributes(plain.properties(), range);
    } else {
        highlightable.addAttribute(QTextFormat::ForegroundBrush, QBrush(labelColor()), range);
    }
    highlightable.endEditing();
}
