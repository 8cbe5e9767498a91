#include "engine/decoding/MUDOutputModel.h"

#include <algorithm>
#include <array>
#include <limits>

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

QTextCharFormat MUDOutputModel::attributesAtIndex(qsizetype index, CVRange* effectiveRange) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = {index, 0};
        return {};
    }
    const RunPosition position = runPositionAt(index);
    const quint32 format = m_runs[position.run].format;
    if (effectiveRange) {
        CVRange range = runRange(position);
        for (RunPosition next = position; nextRun(next) && m_runs[next.run].format == format;)
            range = spanning(range, runRange(next));
        for (RunPosition previous = position; previousRun(previous) && m_runs[previous.run].format == format;)
            range = spanning(range, runRange(previous));
        *effectiveRange = range;
    }
    return m_formats.format(format);
}

void MUDOutputModel::enumerateAttributes(CVRange range, const CVAttributedString::RunBlock& block,
                                         Direction direction) const
{
    const CVRange r = clipped(range);
    if (r.length == 0)
        return;
    const bool forward = direction == Direction::Forward;
    RunPosition position = runPositionAt(forward ? r.location : r.end() - 1);
    quint32 format = m_runs[position.run].format;
    CVRange merged = intersection(runRange(position), r);
    bool stop = false;
    for (;;) {
        // Stored runs end at every line end; equal neighbours are joined here.
        CVRange next;
        bool more = forward ? nextRun(position) : previousRun(position);
        if (more) {
            next = intersection(runRange(position), r);
            more = next.length > 0;
        }
        if (more && m_runs[position.run].format == format) {
            merged = spanning(merged, next);
            continue;
        }
        block(m_formats.format(format), merged, stop);
        if (stop || !more)
            return;
        format = m_runs[position.run].format;
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

void MUDOutputModel::appendStored(QStringView text, quint32 format)
{
    const qsizetype position = length();
    m_text.append(text);
    IndexCursor cursor = indexCursor();
    indexStored(text, position, format, cursor);
}

void MUDOutputModel::appendStored(const CVAttributedString& text)
{
    // One copy of the text, then the runs and line starts of each run.
    const qsizetype position = length();
    m_text.append(text.string());
    IndexCursor cursor = indexCursor();
    text.forEachRun([&](CVRange run, const QTextCharFormat& attributes, CVFormatId id) {
        KnownFormat& slot = m_knownFormats[id.index % m_knownFormats.size()];
        if (!id.isValid() || !(slot.id == id)) {
            slot.format = m_formats.indexOf(attributes, id);
            slot.id = id;
        }
        const quint32 format = slot.format;
        indexStored(QStringView(text.string()).sliced(run.location, run.length), position + run.location, format,
                    cursor);
    });
}

MUDOutputModel::IndexCursor MUDOutputModel::indexCursor() const
{
    const Line& line = m_lines.back();
    const bool lineHasRun = qsizetype(m_runs.size()) > line.firstRun;
    return {line.start, lineHasRun, lineHasRun ? m_runs.back().format : 0};
}

void MUDOutputModel::indexStored(QStringView text, qsizetype position, quint32 format, IndexCursor& cursor)
{
    const char16_t* data = text.utf16();
    const char16_t* const end = data + text.size();
    while (data < end) {
        const qsizetype lineLength = position - cursor.lineStart;
        const char16_t* pieceEnd = data + std::min<qsizetype>(end - data, kMaximumLineLength - lineLength);
        const char16_t* lineFeed = std::find(data, pieceEnd, u'\n');
        const qsizetype count = (lineFeed < pieceEnd ? lineFeed + 1 : pieceEnd) - data;
        if (!cursor.lineHasRun || cursor.lastFormat != format) {
            m_runs.push_back({quint32(lineLength), format});
            m_formats.addUse(format);
            cursor.lineHasRun = true;
            cursor.lastFormat = format;
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
    for (auto run = kept; run != m_runs.end(); ++run)
        m_formats.removeUse(run->format);
    m_knownFormats = {};
    m_runs.erase(kept, m_runs.end());
    m_lines.resize(size_t(line + 1));
    m_text.truncate(newLength);
}
