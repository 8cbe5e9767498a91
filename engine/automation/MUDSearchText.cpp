#include "engine/automation/MUDSearchText.h"

#include <algorithm>

#include "engine/automation/MUDLiteralSet.h"

MUDSearchText::MUDSearchText(const QString& text, const Literals& literals)
    : m_text(text)
{
    m_folded.resize(text.size());
    const char16_t* source = reinterpret_cast<const char16_t*>(text.constData());
    char16_t* folded = reinterpret_cast<char16_t*>(m_folded.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = source[i];
        if (c >= 0x80)
            m_nonAscii.push_back(i);
        folded[i] = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    }
    m_foldedFound = findAll(literals.ignoringCase, m_folded);
    m_exactFound = findAll(literals.exact, m_text);
}

MUDSearchText::~MUDSearchText() = default;

MUDSearchText::Found MUDSearchText::findAll(const std::shared_ptr<const MUDLiteralSet>& set, const QString& text)
{
    if (!set)
        return {};
    return {set, set->occurrences(text)};
}

std::optional<qsizetype> MUDSearchText::lookUp(const Found& found, QStringView literal, qsizetype from, qsizetype to)
{
    const qsizetype index = found.set ? found.set->indexOf(literal) : -1;
    if (index < 0)
        return std::nullopt;
    const std::vector<qsizetype>& starts = found.starts[size_t(index)];
    const auto it = std::lower_bound(starts.begin(), starts.end(), from);
    // Later occurrences start later, so they end past `to` too.
    return it != starts.end() && *it + literal.size() <= to ? *it : qsizetype(-1);
}

qsizetype MUDSearchText::firstNonAscii(qsizetype from) const
{
    const auto it = std::lower_bound(m_nonAscii.begin(), m_nonAscii.end(), from);
    return it == m_nonAscii.end() ? m_text.size() : *it;
}

qsizetype MUDSearchText::find(QStringView literal, bool caseInsensitive, qsizetype from, qsizetype to) const
{
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, m_text.size());
    if (from >= to)
        return -1;
    std::optional<qsizetype> found = lookUp(caseInsensitive ? m_foldedFound : m_exactFound, literal, from, to);
    if (!found) {
        const qsizetype inside =
            QStringView(caseInsensitive ? m_folded : m_text).sliced(from, to - from).indexOf(literal);
        found = inside < 0 ? -1 : from + inside;
    }
    qsizetype result = *found < 0 ? to : *found;
    if (caseInsensitive)
        result = std::min(result, firstNonAscii(from));
    return result < to ? result : -1;
}

qsizetype MUDSearchText::lineStart(qsizetype position) const
{
    if (position <= 0)
        return 0;
    return QStringView(m_text).first(std::min(position, m_text.size())).lastIndexOf(u'\n') + 1;
}

bool MUDSearchText::isAscii(qsizetype from, qsizetype to) const
{
    return firstNonAscii(from) >= to;
}
