#include "core/CVAttributedString.h"

#include <algorithm>

CVAttributedString::CVAttributedString(const QString& string, const QTextCharFormat& attributes)
    : m_string(string)
{
    if (!m_string.isEmpty())
        m_runs.push_back({0, attributes});
}

void CVAttributedString::append(QStringView text, const QTextCharFormat& attributes)
{
    if (text.isEmpty())
        return;
    // Comparing formats is cheap when both share one format object, the
    // common case for styled output appended piece by piece.
    if (m_runs.empty() || !(m_runs.back().attributes == attributes))
        m_runs.push_back({length(), attributes});
    m_string.append(text);
}

void CVAttributedString::append(const CVAttributedString& other)
{
    m_string.reserve(m_string.size() + other.m_string.size());
    for (size_t i = 0; i < other.m_runs.size(); ++i) {
        const int start = other.m_runs[i].start;
        append(QStringView(other.m_string).mid(start, other.runEnd(i) - start), other.m_runs[i].attributes);
    }
}

QTextCharFormat CVAttributedString::attributesAtIndex(int index, CVRange* effectiveRange) const
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
        const int start = std::max(m_runs[run].start, int(r.location));
        const int end = std::min(runEnd(run), int(r.end()));
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
    int stretchStart = -1;
    int stretchEnd = r.location;
    for (size_t run = runIndexAt(r.location); run < m_runs.size() && m_runs[run].start < r.end(); ++run) {
        const QVariant runValue = m_runs[run].attributes.property(propertyId);
        if (stretchStart >= 0 && !(runValue == value)) {
            block(value, {stretchStart, stretchEnd - stretchStart}, stop);
            if (stop)
                return;
            stretchStart = -1;
        }
        if (stretchStart < 0) {
            stretchStart = std::max(m_runs[run].start, int(r.location));
            value = runValue;
        }
        stretchEnd = std::min(runEnd(run), int(r.end()));
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

void CVAttributedString::replaceCharacters(CVRange range, const QString& text)
{
    const CVRange r = clipped(range);
    QTextCharFormat attributes;
    if (r.length > 0)
        attributes = attributesAtIndex(r.location);
    else if (r.location > 0)
        attributes = attributesAtIndex(r.location - 1);
    else if (!isEmpty())
        attributes = attributesAtIndex(0);
    replaceCharacters(r, CVAttributedString(text, attributes));
}

void CVAttributedString::replaceCharacters(CVRange range, const CVAttributedString& replacement)
{
    const CVRange r = clipped(range);
    const size_t first = splitAt(r.location);
    const size_t last = splitAt(r.end());
    m_runs.erase(m_runs.begin() + first, m_runs.begin() + last);
    const int delta = replacement.length() - r.length;
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
        result.m_runs.push_back({std::max(m_runs[run].start - int(r.location), 0), m_runs[run].attributes});
    return result;
}

bool CVAttributedString::operator==(const CVAttributedString& other) const
{
    if (m_string != other.m_string || m_runs.size() != other.m_runs.size())
        return false;
    for (size_t i = 0; i < m_runs.size(); ++i) {
        if (m_runs[i].start != other.m_runs[i].start || !(m_runs[i].attributes == other.m_runs[i].attributes))
            return false;
    }
    return true;
}

CVRange CVAttributedString::clipped(CVRange range) const
{
    const int location = int(std::clamp<qsizetype>(range.location, 0, length()));
    const int end = int(std::clamp<qsizetype>(range.end(), location, length()));
    return {location, end - location};
}

int CVAttributedString::runEnd(size_t run) const
{
    return run + 1 < m_runs.size() ? m_runs[run + 1].start : length();
}

size_t CVAttributedString::runIndexAt(int index) const
{
    auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                  [](int value, const Run& run) { return value < run.start; });
    return after == m_runs.begin() ? 0 : size_t(after - m_runs.begin() - 1);
}

size_t CVAttributedString::splitAt(int index)
{
    if (index >= length())
        return m_runs.size();
    const size_t run = runIndexAt(index);
    if (m_runs[run].start == index)
        return run;
    m_runs.insert(m_runs.begin() + run + 1, Run{index, m_runs[run].attributes});
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
        if (m_runs[run].attributes == m_runs[kept].attributes)
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
    for (size_t run = first; run < last; ++run)
        change(m_runs[run].attributes);
    mergeRuns(first > 0 ? first - 1 : 0, last);
}
