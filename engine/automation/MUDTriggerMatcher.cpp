#include "engine/automation/MUDTriggerMatcher.h"

#include <algorithm>

#include "core/CVAttributedString.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDRegularExpression.h"
#include "engine/automation/MUDSearchText.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

const QString kRestKey = QStringLiteral("\\x");

// An occurrence that does not begin the searched text counts as starting a
// line only after a line feed or NUL.
bool beginsLine(const QString& text, qsizetype location)
{
    if (location == 0)
        return true;
    const char16_t before = text.at(location - 1).unicode();
    return before == u'\n' || before == u'\0';
}

// The first stretch inside `range` that carries the user-command attribute,
// in the text's own positions, or {NotFound, NotFound}.
CVRange userCommandRange(const CVAttributedString& text, CVRange range)
{
    CVRange found{CVRange::NotFound, CVRange::NotFound};
    text.enumerateAttribute(MUDUserCommandProperty, range, [&](const QVariant& value, CVRange stretch, bool& stop) {
        if (!value.isValid())
            return;
        found = stretch;
        stop = true;
    });
    return found;
}

// The end of the line holding `location`: the line feed's position, or
// `limit` when the line runs on past it. A preceding carriage return is left
// out, so "\r\n" and "\n" lines end alike.
qsizetype lineContentEnd(const QString& text, qsizetype location, qsizetype limit)
{
    const qsizetype feed = QStringView(text).first(limit).indexOf(u'\n', location);
    if (feed < 0)
        return limit;
    return feed > location && text.at(feed - 1) == u'\r' ? feed - 1 : feed;
}

// Where the search resumes after a plain occurrence at `location`: the next
// line's start, or past `limit`.
qsizetype nextLineStart(const QString& text, qsizetype location, qsizetype limit)
{
    const qsizetype feed = QStringView(text).first(limit).indexOf(u'\n', location);
    return feed < 0 ? limit + 1 : feed + 1;
}

// Ignoring case, an ASCII pattern over ASCII text is found exactly in the
// pass's lower-cased copy, a much quicker search than folding both. Empty
// when that does not apply.
QString lowerAsciiPattern(const MUDTrigger& trigger)
{
    const QString pattern = trigger.matchString();
    const bool ascii = std::all_of(pattern.cbegin(), pattern.cend(), [](QChar c) { return c.unicode() < 0x80; });
    return !trigger.caseSpecific() && ascii ? pattern.toLower() : QString();
}

std::shared_ptr<MUDRegularExpression> compiledExpression(const MUDTrigger& trigger)
{
    return std::static_pointer_cast<MUDRegularExpression>(trigger.compiledRegex());
}

bool isValidRange(const CVAttributedString& text, CVRange range)
{
    return !range.isNotFound() && range.location >= 0 && range.length >= 0 && text.length() >= range.length &&
           range.end() <= text.length();
}

}

std::optional<QList<MUDTriggerProcessObject>> MUDTriggerMatcher::matchTrigger(
    const std::shared_ptr<MUDTrigger>& trigger, const CVAttributedString& text)
{
    const MUDSearchText search(text.string());
    return matchTrigger(trigger, text, search, {0, text.length()}, 0).objects;
}

MUDTriggerMatcher::Matches MUDTriggerMatcher::matchTrigger(const std::shared_ptr<MUDTrigger>& trigger,
                                                           const CVAttributedString& text, const MUDSearchText& search,
                                                           CVRange targetRange, qsizetype offset, Scope scope)
{
    if (trigger->matchString().isEmpty())
        return {};
    switch (trigger->matchType()) {
    case MUDTrigger::kMatchPlainText: return processPlainTrigger(trigger, text, search, targetRange, offset, scope);
    case MUDTrigger::kMatchRegularExpression:
        return processRegexTrigger(trigger, text, search, targetRange, offset, scope);
    default: return {};
    }
}

MUDTriggerMatcher::Matches MUDTriggerMatcher::processPlainTrigger(const std::shared_ptr<MUDTrigger>& trigger,
                                                                  const CVAttributedString& text,
                                                                  const MUDSearchText& search, CVRange targetRange,
                                                                  qsizetype offset, Scope scope)
{
    if (!isValidRange(text, targetRange))
        return {};
    const QString& string = text.string();
    const QString pattern = trigger->matchString();
    const QString lowerPattern = lowerAsciiPattern(*trigger);
    Matches matches{QList<MUDTriggerProcessObject>(), std::nullopt};
    qsizetype from = targetRange.location;
    while (from <= targetRange.end()) {
        qsizetype location;
        if (trigger->caseSpecific()) {
            location = search.find(pattern, false, from, targetRange.end());
        } else if (!lowerPattern.isEmpty() && search.isAscii(from, targetRange.end())) {
            location = search.find(lowerPattern, true, from, targetRange.end());
        } else {
            const qsizetype found =
                QStringView(string).mid(from, targetRange.end() - from).indexOf(pattern, 0, Qt::CaseInsensitive);
            location = found < 0 ? -1 : from + found;
        }
        if (location < 0)
            break;
        matches.matchedUpTo = targetRange.end() + offset;
        const CVRange echoed = userCommandRange(text, {location, pattern.size()});
        if (!echoed.isNotFound()) {
            from = echoed.end();
            continue;
        }
        if (!trigger->matchFromStartOfLine() || beginsLine(string, location))
            matches.objects->append({trigger, std::nullopt, std::nullopt, {location + offset, pattern.size()}});
        if (scope == Scope::Pass)
            break;
        from = nextLineStart(string, location, targetRange.end());
    }
    return matches;
}

MUDTriggerMatcher::Matches MUDTriggerMatcher::processRegexTrigger(const std::shared_ptr<MUDTrigger>& trigger,
                                                                  const CVAttributedString& text,
                                                                  const MUDSearchText& search, CVRange targetRange,
                                                                  qsizetype offset, Scope scope)
{
    auto expression = compiledExpression(*trigger);
    if (!expression) {
        int options = MUDRegularExpression::AnchorsMatchLines | MUDRegularExpression::DotMatchesLineSeparators;
        if (!trigger->caseSpecific())
            options |= MUDRegularExpression::CaseInsensitive;
        QString error;
        expression = MUDRegularExpression::compile(trigger->matchString(), options, &error);
        if (!expression) {
            CVLog(QStringLiteral("Trigger %1 failed with error: %2").arg(trigger->description(), error));
            return {};
        }
        trigger->setCompiledRegex(expression);
    }
    if (!isValidRange(text, targetRange))
        return {};

    const QString& string = text.string();
    const QList<MUDRegularExpressionMatch> found = scope == Scope::Pass
                                                       ? expression->matchesInString(search, targetRange)
                                                       : expression->matchesInLines(search, targetRange);
    if (found.isEmpty())
        return {};
    QList<MUDTriggerProcessObject> results;
    for (const MUDRegularExpressionMatch& match : found) {
        const CVRange whole = match.range();
        const CVRange echoed = userCommandRange(text, whole);
        if (!echoed.isNotFound() && scope == Scope::EveryLine)
            continue;
        if (!echoed.isNotFound()) {
            const qsizetype resume = echoed.end();
            if (auto more = matchTrigger(trigger, text, search, {resume, text.length() - resume}, offset).objects)
                results.append(*more);
            break;
        }
        if (trigger->matchFromStartOfLine() && !beginsLine(string, whole.location))
            continue;
        MUDScriptParameters parameters;
        for (qsizetype group = 0; group < match.groups.size(); ++group) {
            const CVRange range = match.groups.at(group);
            parameters.insert(QStringLiteral("\\%1").arg(group),
                              range.isNotFound() ? QString() : string.mid(range.location, range.length));
        }
        const qsizetype restEnd =
            scope == Scope::Pass ? string.size() : std::max(whole.end(), lineContentEnd(string, whole.end(), string.size()));
        parameters.insert(kRestKey, string.mid(whole.end(), restEnd - whole.end()));
        results.append({trigger, parameters, match.groups, {whole.location + offset, whole.length}});
    }
    Matches matches{results, std::nullopt};
    if (!results.isEmpty())
        matches.matchedUpTo = results.last().range.end();
    return matches;
}

std::optional<MUDTriggerProcessObject> MUDTriggerMatcher::matchGMCPMessage(const std::shared_ptr<MUDTrigger>& trigger,
                                                                           const MUDGMCPMessage& message)
{
    if (trigger->matchType() != MUDTrigger::kMatchGMCPPackage ||
        !packageMatches(trigger->matchString(), message.package))
        return std::nullopt;
    const MUDScriptParameters parameters{{QStringLiteral("\\0"), message.package},
                                         {QStringLiteral("\\1"), message.json}};
    return MUDTriggerProcessObject{trigger, parameters, std::nullopt, {0, 0}};
}

bool MUDTriggerMatcher::packageMatches(QStringView pattern, QStringView package)
{
    // A trailing dot ("Char.") reads as the package it ends.
    pattern = pattern.trimmed();
    if (pattern.endsWith(u'.'))
        pattern.chop(1);
    if (pattern.isEmpty() || !package.startsWith(pattern, Qt::CaseInsensitive))
        return false;
    return package.size() == pattern.size() || package.at(pattern.size()) == u'.';
}

void MUDTriggerMatcher::collectLiterals(const QList<std::shared_ptr<MUDTrigger>>& triggers, QStringList* ignoringCase,
                                        QStringList* exact)
{
    for (const auto& trigger : triggers) {
        if (trigger->matchString().isEmpty())
            continue;
        if (trigger->matchType() == MUDTrigger::kMatchPlainText) {
            if (trigger->caseSpecific())
                exact->append(trigger->matchString());
            else if (const QString lower = lowerAsciiPattern(*trigger); !lower.isEmpty())
                ignoringCase->append(lower);
        } else if (trigger->matchType() == MUDTrigger::kMatchRegularExpression) {
            // Expressions are compiled by their first search; until then
            // their literals are simply searched for one by one.
            if (const auto expression = compiledExpression(*trigger)) {
                const MUDRegularExpressionPrefilter& prefilter = expression->prefilter();
                (prefilter.caseInsensitive() ? ignoringCase : exact)->append(prefilter.requiredLiterals());
            }
        }
    }
}

CVRange MUDTriggerMatcher::attributedStringLoggingRange(const CVAttributedString& text)
{
    return userCommandRange(text, {0, text.length()});
}
