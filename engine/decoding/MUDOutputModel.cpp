#include "engine/decoding/MUDOutputModel.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

namespace {
// Runs hold their start within the line in 32 bits; a line that reaches
// this length (8 GiB of text without a line feed) is continued in a new
// stored line, keeping every character.
constexpr qsizetype kMaximumLineLength = std::numeric_limits<quint32>::max();

CVRange intersection(CVRange a, CVRange b)
{
    const qsizetype start = std::max(a.location, b.location);
    return {start, std::max(std::min(a.end(), b.end()) - start, qsizetype(0))};
}

CVRange spanning(CVRange a, CVRange b)
{
    const qsizetype start = std::min(a.location, b.location);
    return {start, std::max(a.end(), b.end()) - start};
}
}

MUDOutputModel::MUDOutputModel(QObject* parent)
    : QObject(parent)
{
    m_lines.push_back({0, 0});
}

char16_t MUDOutputModel::characterAt(qsizetype index) const
{
    return index >= 0 && index < length() ? m_text.at(index) : 0;
}

void MUDOutputModel::append(const CVAttributedString& text)
{
    if (text.isEmpty())
        return;
    const qsizetype position = length();
    appendStored(text);
    emit contentsChanged(position, 0, text.length());
}

void MUDOutputModel::append(const MUDStyledText& text)
{
    if (text.isEmpty())
        return;
    const qsizetype position = length();
    m_text.append(text.string());
    IndexCursor cursor = indexCursor();
    qsizetype start = 0;
    for (const MUDStyledText::Piece& piece : text.pieces()) {
        const Formats formats{formatIndex(piece.style->text, piece.style->textId),
                              formatIndex(piece.style->whitespace, piece.style->whitespaceId)};
        indexStored(QStringView(text.string()).sliced(start, piece.length), position + start, formats, cursor);
        start += piece.length;
    }
    emit contentsChanged(position, 0, text.length());
}

void MUDOutputModel::append(QStringView text, const QTextCharFormat& attributes)
{
    if (text.isEmpty())
        return;
    const qsizetype position = length();
    appendStored(text, m_formats.indexOf(attributes));
    emit contentsChanged(position, 0, text.size());
}

void MUDOutputModel::replaceCharacters(CVRange range, const CVAttributedString& replacement)
{
    const CVRange r = clipped(range);
    if (r.length == 0 && replacement.isEmpty())
        return;
    if (r.length > 0)
        emit contentsAboutToChange(r.location, r.length);
    const CVAttributedString tail = attributedSubstring({r.end(), length() - r.end()});
    truncate(r.location);
    appendStored(replacement);
    appendStored(tail);
    emit contentsChanged(r.location, r.length, replacement.length());
}

void MUDOutputModel::replaceCharacters(CVRange range, const QString& text)
{
    const CVRange r = clipped(range);
    const QTextCharFormat attributes = attributesAtIndex(CVAttributedString::replacementAttributesIndex(r));
    replaceCharacters(r, CVAttributedString(text, attributes));
}

void MUDOutputModel::clear()
{
    const qsizetype removed = length();
    if (removed == 0)
        return;
    emit contentsAboutToChange(0, removed);
    m_text.truncate(0);
    m_lines = {{0, 0}};
    m_runs = {};
    m_formats.clear();
    m_knownFormats = {};
    emit contentsChanged(0, removed, 0);
}

QString MUDOutputModel::text(CVRange range) const
{
    const CVRange r = clipped(range);
    return m_text.mid(r.location, r.length);
}

CVAttributedString MUDOutputModel::attributedSubstring(CVRange range) const
{
    const CVRange r = clipped(range);
    CVAttributedString result;
    if (r.length == 0)
        return result;
    const QString string = m_text.mid(r.location, r.length);
    enumerateAttributes(r, [&](const QTextCharFormat& attributes, CVRange run, bool&) {
        result.append(QStringView(string).sliced(run.location - r.location, run.length), attributes);
    });
    return result;
}

CVAttributedString MUDOutputModel::attributedSubstring(CVRange range, int property) const
{
    const CVRange r = clipped(range);
    CVAttributedString result;
    if (r.length == 0)
        return result;
    // Formats with and without the property's values, kept alive for the
    // pieces that point at them.
    std::vector<std::unique_ptr<QTextCharFormat>> kept;
    std::vector<CVAttributedString::Piece> pieces;
    QVariant current;
    const auto add = [&](const QVariant& value, qsizetype length) {
        if (!pieces.empty() && value == current) {
            pieces.back().length += length;
            return;
        }
        current = value;
        auto format = std::make_unique<QTextCharFormat>();
        if (value.isValid())
            format->setProperty(property, value);
        pieces.push_back({length, format.get(), {}});
        kept.push_back(std::move(format));
    };
    // Stored runs, not stretches: white space needs a stretch of its own
    // only where its format differs in this one property.
    RunPosition position = runPositionAt(r.location);
    for (;;) {
        const CVRange run = intersection(runRange(position), r);
        const Formats formats = m_runs[position.run].formats;
        const QVariant value = m_formats.format(formats.text).property(property);
        if (formats.text == formats.whitespace || m_formats.format(formats.whitespace).property(property) == value) {
            add(value, run.length);
        } else {
            for (qsizetype at = run.location; at < run.end();) {
                const Stretch stretch = stretchFrom(position, at);
                const CVRange piece = intersection(stretch.range, run);
                add(m_formats.format(stretch.format).property(property), piece.length);
                at = piece.end();
            }
        }
        if (run.end() >= r.end() || !nextRun(position))
            break;
    }
    result.append(text(r), pieces);
    return result;
}

QTextCharFormat MUDOutputModel::attributesAtIndex(qsizetype index, CVRange* effectiveRange) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = {index, 0};
        return {};
    }
    const Stretch stretch = stretchAt(index);
    if (effectiveRange) {
        CVRange range = stretch.range;
        for (Stretch next = stretch; nextStretch(next) && next.format == stretch.format;)
            range = spanning(range, next.range);
        for (Stretch previous = stretch; previousStretch(previous) && previous.format == stretch.format;)
            range = spanning(range, previous.range);
        *effectiveRange = range;
    }
    return m_formats.format(stretch.format);
}

void MUDOutputModel::enumerateAttributes(CVRange range, const CVAttributedString::RunBlock& block,
                                         Direction direction) const
{
    const CVRange r = clipped(range);
    if (r.length == 0)
        return;
    const bool forward = direction == Direction::Forward;
    Stretch stretch = stretchAt(forward ? r.location : r.end() - 1);
    quint32 format = stretch.format;
    CVRange merged = intersection(stretch.range, r);
    bool stop = false;
    for (;;) {
        // Stored runs end at every line end; equal neighbours are joined here.
        CVRange next;
        bool more = forward ? nextStretch(stretch) : previousStretch(stretch);
        if (more) {
            next = intersection(stretch.range, r);
            more = next.length > 0;
        }
        if (more && stretch.format == format) {
            merged = spanning(merged, next);
            continue;
        }
        block(m_formats.format(format), merged, stop);
        if (stop || !more)
            return;
        format = stretch.format;
        merged = next;
    }
}

void MUDOutputModel::enumerateStyleRuns(CVRange range, const StyleRunBlock& block) const
{
    const CVRange r = clipped(range);
    if (r.length == 0)
        return;
    RunPosition position = runPositionAt(r.location);
    Formats formats = m_runs[position.run].formats;
    CVRange merged = intersection(runRange(position), r);
    for (;;) {
        CVRange next;
        bool more = nextRun(position);
        if (more) {
            next = intersection(runRange(position), r);
            more = next.length > 0;
        }
        if (more && m_runs[position.run].formats == formats) {
            merged = spanning(merged, next);
            continue;
        }
        block(m_formats.format(formats.text), m_formats.format(formats.whitespace), merged);
        if (!more)
            return;
        formats = m_runs[position.run].formats;
        merged = next;
    }
}

CVRange MUDOutputModel::lineRange(qsizetype line) const
{
    if (line < 0 || line >= lineCount())
        return {0, 0};
    return {m_lines[line].start, lineEnd(line) - m_lines[line].start};
}

qsizetype MUDOutputModel::lineForOffset(qsizetype offset) const
{
    offset = std::clamp(offset, qsizetype(0), length());
    const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), offset,
                                        [](qsizetype value, const Line& line) { return value < line.start; });
    return qsizetype(after - m_lines.begin()) - 1;
}

CVRange MUDOutputModel::clipped(CVRange range) const
{
    const qsizetype location = std::clamp(range.location, qsizetype(0), length());
    const qsizetype end = std::clamp(range.end(), location, length());
    return {location, end - location};
}

qsizetype MUDOutputModel::lineEnd(qsizetype line) const
{
    return line + 1 < lineCount() ? m_lines[line + 1].start : length();
}

qsizetype MUDOutputModel::lineRunEnd(qsizetype line) const
{
    return line + 1 < lineCount() ? m_lines[line + 1].firstRun : qsizetype(m_runs.size());
}

MUDOutputModel::RunPosition MUDOutputModel::runPositionAt(qsizetype index) const
{
    const qsizetype line = lineForOffset(index);
    const qsizetype inLine = index - m_lines[line].start;
    const auto first = m_runs.begin() + m_lines[line].firstRun;
    const auto after = std::upper_bound(first, m_runs.begin() + lineRunEnd(line), inLine,
                                        [](qsizetype value, const Run& run) { return value < run.start; });
    return {line, qsizetype(after - m_runs.begin()) - 1};
}

CVRange MUDOutputModel::runRange(RunPosition position) const
{
    const qsizetype lineStart = m_lines[position.line].start;
    const qsizetype start = lineStart + m_runs[position.run].start;
    const qsizetype end = position.run + 1 < lineRunEnd(position.line) ? lineStart + m_runs[position.run + 1].start
                                                                       : lineEnd(position.line);
    return {start, end - start};
}

bool MUDOutputModel::nextRun(RunPosition& position) const
{
    if (position.run + 1 >= qsizetype(m_runs.size()))
        return false;
    ++position.run;
    while (position.line + 1 < lineCount() && position.run >= m_lines[position.line + 1].firstRun)
        ++position.line;
    return true;
}

bool MUDOutputModel::previousRun(RunPosition& position) const
{
    if (position.run == 0)
        return false;
    --position.run;
    while (position.run < m_lines[position.line].firstRun)
        --position.line;
    return true;
}

MUDOutputModel::Stretch MUDOutputModel::stretchAt(qsizetype index) const
{
    const RunPosition position = runPositionAt(index);
    const Run& run = m_runs[position.run];
    if (run.formats.text == run.formats.whitespace)
        return {position, runRange(position), run.formats.text};
    const qsizetype runStart = runRange(position).location;
    const bool space = MUDStyledText::isWhitespace(m_text.at(index));
    qsizetype start = index;
    while (start > runStart && MUDStyledText::isWhitespace(m_text.at(start - 1)) == space)
        --start;
    return stretchFrom(position, start);
}

MUDOutputModel::Stretch MUDOutputModel::stretchFrom(RunPosition position, qsizetype start) const
{
    const Run& run = m_runs[position.run];
    const CVRange range = runRange(position);
    if (run.formats.text == run.formats.whitespace)
        return {position, range, run.formats.text};
    const bool space = MUDStyledText::isWhitespace(m_text.at(start));
    qsizetype end = start + 1;
    while (end < range.end() && MUDStyledText::isWhitespace(m_text.at(end)) == space)
        ++end;
    return {position, {start, end - start}, space ? run.formats.whitespace : run.formats.text};
}

MUDOutputModel::Stretch MUDOutputModel::stretchTo(RunPosition position, qsizetype end) const
{
    const Run& run = m_runs[position.run];
    const CVRange range = runRange(position);
    if (run.formats.text == run.formats.whitespace)
        return {position, range, run.formats.text};
    const bool space = MUDStyledText::isWhitespace(m_text.at(end - 1));
    qsizetype start = end - 1;
    while (start > range.location && MUDStyledText::isWhitespace(m_text.at(start - 1)) == space)
        --start;
    return {position, {start, end - start}, space ? run.formats.whitespace : run.formats.text};
}

bool MUDOutputModel::nextStretch(Stretch& stretch) const
{
    RunPosition position = stretch.position;
    if (stretch.range.end() < runRange(position).end()) {
        stretch = stretchFrom(position, stretch.range.end());
        return true;
    }
    if (!nextRun(position))
        return false;
    stretch = stretchFrom(position, runRange(position).location);
    return true;
}

bool MUDOutputModel::previousStretch(Stretch& stretch) const
{
    RunPosition position = stretch.position;
    if (stretch.range.location > runRange(position).location) {
        stretch = stretchTo(position, stretch.range.location);
        return true;
    }
    if (!previousRun(position))
        return false;
    stretch = stretchTo(position, runRange(position).end());
    return true;
}

quint32 MUDOutputModel::formatIndex(const QTextCharFormat& format, CVFormatId id)
{
    if (!id.isValid())
        return m_formats.indexOf(format);
    KnownFormat& slot = m_knownFormats[id.index % m_knownFormats.size()];
    if (!(slot.id == id)) {
        slot.format = m_formats.indexOf(format, id);
        slot.id = id;
    }
    return slot.format;
}

void MUDOutputModel::appendStored(QStringView text, quint32 format)
{
    const qsizetype position = length();
    m_text.append(text);
    IndexCursor cursor = indexCursor();
    indexStored(text, position, {format, format}, cursor);
}

void MUDOutputModel::appendStored(const CVAttributedString& text)
{
    // One copy of the text, then the runs and line starts of each run.
    const qsizetype position = length();
    m_text.append(text.string());
    IndexCursor cursor = indexCursor();
    text.forEachRun([&](CVRange run, const QTextCharFormat& attributes, CVFormatId id) {
        const quint32 format = formatIndex(attributes, id);
        indexStored(QStringView(text.string()).sliced(run.location, run.length), position + run.location,
                    {format, format}, cursor);
    });
}

MUDOutputModel::IndexCursor MUDOutputModel::indexCursor() const
{
    const Line& line = m_lines.back();
    const bool lineHasRun = qsizetype(m_runs.size()) > line.firstRun;
    return {line.start, lineHasRun, lineHasRun ? m_runs.back().formats : Formats{}};
}

void MUDOutputModel::indexStored(QStringView text, qsizetype position, Formats formats, IndexCursor& cursor)
{
    const char16_t* data = text.utf16();
    const char16_t* const end = data + text.size();
    while (data < end) {
        const qsizetype lineLength = position - cursor.lineStart;
        const char16_t* pieceEnd = data + std::min<qsizetype>(end - data, kMaximumLineLength - lineLength);
        const char16_t* lineFeed = std::find(data, pieceEnd, u'\n');
        const qsizetype count = (lineFeed < pieceEnd ? lineFeed + 1 : pieceEnd) - data;
        if (!cursor.lineHasRun || !(cursor.lastFormats == formats)) {
            m_runs.push_back({quint32(lineLength), formats});
            m_formats.addUse(formats.text);
            m_formats.addUse(formats.whitespace);
            cursor.lineHasRun = true;
            cursor.lastFormats = formats;
        }
        data += count;
        position += count;
        if (lineFeed < pieceEnd || lineLength + count == kMaximumLineLength) {
            m_lines.push_back({position, qsizetype(m_runs.size())});
            cursor.lineStart = position;
            cursor.lineHasRun = false;
        }
    }
}

void MUDOutputModel::truncate(qsizetype newLength)
{
    if (newLength >= length())
        return;
    const qsizetype line = lineForOffset(newLength);
    const qsizetype inLine = newLength - m_lines[line].start;
    const auto first = m_runs.begin() + m_lines[line].firstRun;
    const auto kept = std::lower_bound(first, m_runs.begin() + lineRunEnd(line), inLine,
                                       [](const Run& run, qsizetype value) { return run.start < value; });
    for (auto run = kept; run != m_runs.end(); ++run) {
        m_formats.removeUse(run->formats.text);
        m_formats.removeUse(run->formats.whitespace);
    }
    m_knownFormats = {};
    m_runs.erase(kept, m_runs.end());
    m_lines.resize(size_t(line + 1));
    m_text.truncate(newLength);
}
