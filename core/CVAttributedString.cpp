#include "core/CVAttributedString.h"

#include <algorithm>

CVAttributedString::CVAttributedString(const QString& string, const QTextCharFormat& attributes)
    : m_string(string)
{
    if (!m_string.isEmpty())
        m_runs.push_back({0, attributes});
}

void CVAttributedString::append(QStringView text, const QTextCharFormat& attributes, CVFormatId id)
{
    if (text.isEmpty())
        return;
    continueRuns(length(), attributes, id);
    m_string.append(text);
}

void CVAttributedString::append(QStringView text, std::span<const Piece> pieces)
{
    qsizetype start = length();
    m_string.append(text);
    for (const Piece& piece : pieces) {
        if (piece.length == 0)
            continue;
        continueRuns(start, *piece.attributes, piece.id);
        start += piece.length;
    }
}

void CVAttributedString::append(const CVAttributedString& other)
{
    m_string.reserve(m_string.size() + other.m_string.size());
    other.forEachRun([&](CVRange range, const QTextCharFormat& attributes, CVFormatId id) {
        append(QStringView(other.m_string).sliced(range.location, range.length), attributes, id);
    });
}

QTextCharFormat CVAttributedString::attributesAtIndex(qsizetype index, CVRange* effectiveRange) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = {index, 0};
        return {};
    }
    const size_t run = runIndexAt(index);
    if (effectiveRange)
        *effectiveRange = {m_runs[run].start, runEnd(run) - m_runs[run].start};
    return m_runs[run].attributes;
}

void CVAttributedString::enumerateAttributes(CVRange range, const RunBlock& block) const
{
    const CVRange r = clipped(range);
    if (r.length == 0)
        return;
    bool stop = false;
    for (size_t run = runIndexAt(r.location); run < m_runs.size() && m_runs[run].start < r.end() && !stop; ++run) {
        const qsizetype start = std::max(m_runs[run].start, r.location);
        const qsizetype end = std::min(runEnd(run), r.end());
        block(m_runs[run].attributes, {start, end - start}, stop);
    }
}

void CVAttributedString::enumerateAttribute(int propertyId, CVRange range, const ValueBlock& block) const
{
    const CVRange r = clipped(range);
    if (r.length == 0)
        return;
    bool stop = false;
    QVariant value;
    qsizetype stretchStart = -1;
    qsizetype stretchEnd = r.location;
    for (size_t run = runIndexAt(r.location); run < m_runs.size() && m_runs[run].start < r.end(); ++run) {
        const QVariant runValue = m_runs[run].attributes.property(propertyId);
        if (stretchStart >= 0 && !(runValue == value)) {
            block(value, {stretchStart, stretchEnd - stretchStart}, stop);
            if (stop)
                return;
            stretchStart = -1;
        }
        if (stretchStart < 0) {
            stretchStart = std::max(m_runs[run].start, r.location);
            value = runValue;
        }
        stretchEnd = std::min(runEnd(run), r.end());
    }
    if (stretchStart >= 0)
        block(value, {stretchStart, stretchEnd - stretchStart}, stop);
}

void CVAttributedString::setAttributes(const QTextCharFormat& attributes, CVRange range)
{
    modifyRuns(range, [&](QTextCharFormat& format) { format = attributes; });
}

void CVAttributedString::addAttributes(const QTextCharFormat& attributes, CVRange range)
{
    modifyRuns(range, [&](QTextCharFormat& format) { format.merge(attributes); });
}

void CVAttributedString::addAttribute(int propertyId, const QVariant& value, CVRange range)
{
    modifyRuns(range, [&](QTextCharFormat& format) { format.setProperty(propertyId, value); });
}

void CVAttributedString::removeAttribute(int propertyId, CVRange range)
{
    modifyRuns(range, [&](QTextCharFormat& format) { format.clearProperty(propertyId); });
}

qsizetype CVAttributedString::replacementAttributesIndex(CVRange range)
{
    if (range.length > 0)
        return range.location;
    return range.location > 0 ? range.location - 1 : 0;
}

void CVAttributedString::replaceCharacters(CVRange range, const QString& text)
{
    const CVRange r = clipped(range);
    const QTextCharFormat attributes = attributesAtIndex(CVAttributedString::replacementAttributesIndex(r));
    replaceCharacters(r, CVAttributedString(text, attributes));
}

void CVAttributedString::replaceCharacters(CVRange range, const CVAttributedString& replacement)
{
    const CVRange r = clipped(range);
    const size_t first = splitAt(r.location);
    const size_t last = splitAt(r.end());
    m_runs.erase(m_runs.begin() + first, m_runs.begin() + last);
    const qsizetype delta = replacement.length() - r.length;
    for (size_t run = first; run < m_runs.size(); ++run)
        m_runs[run].start += delta;
    std::vector<Run> inserted = replacement.m_runs;
    for (Run& run : inserted)
        run.start += r.location;
    m_runs.insert(m_runs.begin() + first, inserted.begin(), inserted.end());
    m_string.replace(r.location, r.length, replacement.m_string);
    mergeRuns(first > 0 ? first - 1 : 0, first + inserted.size());
}

CVAttributedString CVAttributedString::substring(CVRange range) const
{
    const CVRange r = clipped(range);
    CVAttributedString result;
    if (r.length == 0)
        return result;
    result.m_string = m_string.mid(r.location, r.length);
    for (size_t run = runIndexAt(r.location); run < m_runs.size() && m_runs[run].start < r.end(); ++run)
        result.m_runs.push_back(
            {std::max(m_runs[run].start - r.location, qsizetype(0)), m_runs[run].attributes, m_runs[run].id});
    return result;
}

bool CVAttributedString::operator==(const CVAttributedString& other) const
{
    if (m_string != other.m_string || m_runs.size() != other.m_runs.size())
        return false;
    for (size_t i = 0; i < m_runs.size(); ++i) {
        if (m_runs[i].start != other.m_runs[i].start || !sameFormat(m_runs[i], other.m_runs[i]))
            return false;
    }
    return true;
}

void CVAttributedString::continueRuns(qsizetype start, const QTextCharFormat& attributes, CVFormatId id)
{
    // Styled output alternates between a few formats run by run; their ids
    // settle most comparisons without looking at a single property.
    if (!m_runs.empty()) {
        const Run& last = m_runs.back();
        if (id.isComparableWith(last.id) ? id.index == last.id.index : last.attributes == attributes)
            return;
    }
    m_runs.emplace_back(start, attributes, id);
}

bool CVAttributedString::sameFormat(const Run& a, const Run& b)
{
    return a.id.isComparableWith(b.id) ? a.id.index == b.id.index : a.attributes == b.attributes;
}

CVRange CVAttributedString::clipped(CVRange range) const
{
    const qsizetype location = std::clamp(range.location, qsizetype(0), length());
    const qsizetype end = std::clamp(range.end(), location, length());
    return {location, end - location};
}

qsizetype CVAttributedString::runEnd(size_t run) const
{
    return run + 1 < m_runs.size() ? m_runs[run + 1].start : length();
}

size_t CVAttributedString::runIndexAt(qsizetype index) const
{
    auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                  [](qsizetype value, const Run& run) { return value < run.start; });
    return after == m_runs.begin() ? 0 : size_t(after - m_runs.begin() - 1);
}

size_t CVAttributedString::splitAt(qsizetype index)
{
    if (index >= length())
        return m_runs.size();
    const size_t run = runIndexAt(index);
    if (m_runs[run].start == index)
        return run;
    m_runs.insert(m_runs.begin() + run + 1, Run{index, m_runs[run].attributes, m_runs[run].id});
    return run + 1;
}

void CVAttributedString::mergeRuns(size_t first, size_t last)
{
    if (m_runs.empty())
        return;
    last = std::min(last, m_runs.size() - 1);
    if (first >= last)
        return;
    size_t kept = first;
    for (size_t run = first + 1; run <= last; ++run) {
        if (sameFormat(m_runs[run], m_runs[kept]))
            continue;
        ++kept;
        if (kept != run)
            m_runs[kept] = std::move(m_runs[run]);
    }
    m_runs.erase(m_runs.begin() + kept + 1, m_runs.begin() + last + 1);
}

void CVAttributedString::modifyRuns(CVRange range, const std::function<void(QTextCharFormat&)>& change)
{
    const CVRange r = clipped(range);
    if (r.length == 0)
        return;
    const size_t first = splitAt(r.location);
    const size_t last = splitAt(r.end());
    for (size_t run = first; run < last; ++run) {
        change(m_runs[run].attributes);
        // The changed format is no longer the one the id names.
        m_runs[run].id = {};
    }
    mergeRuns(first > 0 ? first - 1 : 0, last);
}
