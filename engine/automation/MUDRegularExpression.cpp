#include "engine/automation/MUDRegularExpression.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "core/CVLogHelper.h"
#include "engine/automation/MUDSearchText.h"

namespace {

// ICU counts its time limit in steps of roughly a millisecond: a pathological
// pattern gives up after about two seconds instead of freezing the caller.
constexpr int32_t kMatchTimeLimit = 2000;

uint32_t icuFlags(int options)
{
    uint32_t flags = 0;
    if (options & MUDRegularExpression::CaseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    if (options & MUDRegularExpression::DotMatchesLineSeparators)
        flags |= UREGEX_DOTALL;
    if (options & MUDRegularExpression::AnchorsMatchLines)
        flags |= UREGEX_MULTILINE;
    return flags;
}

// Read-only alias of the QString's storage: no copy. The QString must
// outlive every matcher that reads it.
icu::UnicodeString aliasOf(const QString& text)
{
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.utf16()), static_cast<int32_t>(text.size()));
}

// Where a pre-filtered search gives up: no match may start past lastStart.
struct FindLimit {
    qsizetype lastStart = 0;
};

UBool U_CALLCONV stopPastLimit(const void* context, int64_t matchIndex)
{
    return matchIndex <= static_cast<const FindLimit*>(context)->lastStart;
}

bool isInside(CVRange range, const QString& text)
{
    return range.location >= 0 && range.length >= 0 && range.end() <= text.size();
}

// A matcher over `input` that gives up after kMatchTimeLimit; null when ICU
// cannot make one.
std::unique_ptr<icu::RegexMatcher> timedMatcher(const icu::RegexPattern& pattern, const icu::UnicodeString& input,
                                                UErrorCode& status)
{
    std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(input, status));
    if (U_FAILURE(status))
        return nullptr;
    matcher->setTimeLimit(kMatchTimeLimit, status);
    return matcher;
}

void logIfCutShort(UErrorCode status, const QString& pattern)
{
    if (status == U_REGEX_TIME_OUT)
        CVLog(QStringLiteral("MUDRegularExpression: matching \"%1\" took too long and was cut short").arg(pattern));
}

// The groups of the matcher's current match.
MUDRegularExpressionMatch currentMatch(const icu::RegexMatcher& matcher, int groupCount, UErrorCode& status)
{
    MUDRegularExpressionMatch match;
    for (int32_t group = 0; group <= groupCount; ++group) {
        const int32_t start = matcher.start(group, status);
        const int32_t end = matcher.end(group, status);
        match.groups.append(start < 0 ? CVRange{CVRange::NotFound, 0} : CVRange{start, end - start});
    }
    return match;
}
}

struct MUDRegularExpression::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
};

MUDRegularExpression::MUDRegularExpression() = default;
MUDRegularExpression::~MUDRegularExpression() = default;

std::shared_ptr<MUDRegularExpression> MUDRegularExpression::compile(const QString& pattern, int options, QString* error)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    const icu::UnicodeString source = aliasOf(pattern);
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(source, icuFlags(options), parseError, status));
    if (U_FAILURE(status) || !compiled) {
        if (error) {
            *error = QStringLiteral("%1 at offset %2 in pattern \"%3\"")
                         .arg(QString::fromLatin1(u_errorName(status)))
                         .arg(parseError.offset)
                         .arg(pattern);
        }
        return nullptr;
    }
    std::shared_ptr<MUDRegularExpression> expression(new MUDRegularExpression);
    expression->m_pattern = pattern;
    std::unique_ptr<icu::RegexMatcher> probe(compiled->matcher(status));
    expression->m_groupCount = probe && U_SUCCESS(status) ? static_cast<int>(probe->groupCount()) : 0;
    expression->m_compiled = std::make_unique<Compiled>(Compiled{std::move(compiled)});
    expression->m_prefilter =
        MUDRegularExpressionPrefilter::analyse(pattern, options & CaseInsensitive, options & DotMatchesLineSeparators);
    return expression;
}

QList<MUDRegularExpressionMatch> MUDRegularExpression::matchesInString(const QString& text, CVRange range) const
{
    const MUDSearchText search(text);
    return matchesInString(search, range);
}

QList<MUDRegularExpressionMatch> MUDRegularExpression::matchesInString(const MUDSearchText& search, CVRange range) const
{
    QList<MUDRegularExpressionMatch> matches;
    const QString& text = search.text();
    if (!isInside(range, text))
        return matches;
    const bool ignoringCase = m_prefilter.caseInsensitive();
    for (const QString& literal : m_prefilter.requiredLiterals()) {
        if (search.find(literal, ignoringCase, range.location, range.end()) < 0)
            return matches;
    }
    const icu::UnicodeString input = aliasOf(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher = timedMatcher(*m_compiled->pattern, input, status);
    if (!matcher)
        return matches;
    matcher->region(static_cast<int64_t>(range.location), static_cast<int64_t>(range.end()), status);
    matcher->useAnchoringBounds(false);
    auto takeMatch = [&] {
        matches.append(currentMatch(*matcher, m_groupCount, status));
        return matches.last().range();
    };

    if (m_prefilter.lineAnchoredLiteral() < 0) {
        while (U_SUCCESS(status) && matcher->find(status))
            takeMatch();
    } else {
        // Every match starts on the line of an occurrence of the anchored
        // literal, at or before it: ICU searches from that line's start and
        // is stopped once it would start past the occurrence.
        const QString& literal = m_prefilter.requiredLiterals().at(m_prefilter.lineAnchoredLiteral());
        FindLimit limit;
        matcher->setFindProgressCallback(stopPastLimit, &limit, status);
        qsizetype from = range.location;
        while (U_SUCCESS(status) && from <= range.end()) {
            const qsizetype occurrence = search.find(literal, ignoringCase, from, range.end());
            if (occurrence < 0)
                break;
            limit.lastStart = occurrence;
            const qsizetype start = std::max(from, search.lineStart(occurrence));
            matcher->region(range.location, range.end(), start, status);
            if (matcher->find(status)) {
                const CVRange found = takeMatch();
                from = found.length > 0 ? found.end() : found.end() + 1;
            } else if (status == U_REGEX_STOPPED_BY_CALLER) {
                status = U_ZERO_ERROR;
                from = occurrence + 1;
            } else {
                break;
            }
        }
    }
    logIfCutShort(status, m_pattern);
    return matches;
}

QList<MUDRegularExpressionMatch> MUDRegularExpression::matchesInLines(const MUDSearchText& search, CVRange range) const
{
    QList<MUDRegularExpressionMatch> matches;
    const QString& text = search.text();
    if (!isInside(range, text))
        return matches;
    const bool ignoringCase = m_prefilter.caseInsensitive();
    const QStringList& literals = m_prefilter.requiredLiterals();
    const icu::UnicodeString input = aliasOf(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher = timedMatcher(*m_compiled->pattern, input, status);
    if (!matcher)
        return matches;
    const QStringView view(text);
    qsizetype from = range.location;
    while (U_SUCCESS(status) && from <= range.end()) {
        qsizetype lineStart = from;
        if (!literals.isEmpty()) {
            const qsizetype occurrence = search.find(literals.first(), ignoringCase, from, range.end());
            if (occurrence < 0)
                break;
            lineStart = std::max(from, search.lineStart(occurrence));
        }
        const qsizetype feed = view.first(range.end()).indexOf(u'\n', lineStart);
        const qsizetype lineEnd = feed < 0 ? range.end() : feed;
        const qsizetype contentEnd = lineEnd > lineStart && text.at(lineEnd - 1) == u'\r' ? lineEnd - 1 : lineEnd;
        // The region starts at the line's real start where the text holds it,
        // so ^ holds there and only there.
        const qsizetype regionStart = lineStart == range.location ? search.lineStart(lineStart) : lineStart;
        matcher->region(regionStart, contentEnd, status);
        matcher->useAnchoringBounds(true);
        while (U_SUCCESS(status) && matcher->find(status)) {
            const MUDRegularExpressionMatch match = currentMatch(*matcher, m_groupCount, status);
            if (match.range().location >= range.location)
                matches.append(match);
        }
        from = lineEnd + 1;
    }
    logIfCutShort(status, m_pattern);
    return matches;
}
