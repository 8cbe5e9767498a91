#include "engine/automation/MUDTriggerProcessor.h"

#include <QMutexLocker>
#include <algorithm>

#include "core/CVAttributedString.h"
#include "core/CVLogHelper.h"
#include "core/CVOperationQueue.h"
#include "core/MachTimer.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDRegularExpression.h"
#include "engine/automation/MUDSearchText.h"
#include "engine/automation/MUDSerialQueue.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

const QString kRestKey = QStringLiteral("\\x");

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

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

bool isValidRange(const CVAttributedString& text, CVRange range)
{
    return !range.isNotFound() && range.location >= 0 && range.length >= 0 && text.length() >= range.length &&
           range.end() <= text.length();
}

}

MUDTriggerProcessor::MUDTriggerProcessor(std::shared_ptr<MUDJavascriptProcessor> javascriptProcessor,
                                         QList<std::shared_ptr<MUDTrigger>> triggers)
    : m_javascriptProcessor(std::move(javascriptProcessor))
    , m_processThread(std::make_unique<MUDSerialQueue>(QStringLiteral("com.corvane.quarrow.triggerProcessor")))
    , m_triggers(std::move(triggers))
{
}

MUDTriggerProcessor::~MUDTriggerProcessor() = default;

QList<std::shared_ptr<MUDTrigger>> MUDTriggerProcessor::triggers() const
{
    QMutexLocker lock(&m_lock);
    return m_triggers;
}

void MUDTriggerProcessor::setTriggers(QList<std::shared_ptr<MUDTrigger>> triggers)
{
    QMutexLocker lock(&m_lock);
    m_triggers = std::move(triggers);
    m_lastProcessLookup.clear();
}

void MUDTriggerProcessor::processTriggersInString(const CVAttributedString& output, CVRange range, quint32 triggerSource,
                                                  quint64 commandIndex)
{
    processTriggersInWindow(output, 0, range, triggerSource, commandIndex);
}

void MUDTriggerProcessor::processTriggersInWindow(const CVAttributedString& window, qsizetype windowOffset,
                                                  CVRange range, quint32 triggerSource, quint64 commandIndex)
{
    if (isBlank(window.string()))
        return;
    QList<std::shared_ptr<MUDJavascriptActionSource>> waiting;
    if (m_javascriptProcessor)
        waiting = m_javascriptProcessor->waitingActions();
    QList<std::shared_ptr<MUDTrigger>> candidates;
    for (const auto& trigger : triggers()) {
        if (trigger->disabled())
            continue;
        const bool isWaiting = std::any_of(waiting.cbegin(), waiting.cend(), [&](const auto& source) {
            return source->hasTargetObject(trigger.get());
        });
        if (!isWaiting)
            candidates.append(trigger);
    }

    auto stopwatch = std::make_shared<MachTimer>();
    stopwatch->startTimer();
    const qsizetype outputLength = windowOffset + window.length();
    const qsizetype lowest = std::max(windowOffset, lowestLocationForTriggers(candidates, range, outputLength));
    const CVAttributedString searched = window.substring({lowest - windowOffset, outputLength - lowest});

    CVOperationQueue::shared().addOperation([self = shared_from_this(), candidates, searched, lowest, triggerSource,
                                              commandIndex, stopwatch] {
        self->doProcessTriggers(candidates, searched, lowest, triggerSource, commandIndex);
        const double elapsed = stopwatch->elapsedSeconds();
        if (elapsed > 1.0)
            CVLog(QString::asprintf("doProcessTriggers test took %0.2f seconds", elapsed));
    });
}

qsizetype MUDTriggerProcessor::lowestLocationForTriggers(const QList<std::shared_ptr<MUDTrigger>>& triggers,
                                                         CVRange targetRange, qsizetype outputLength)
{
    std::optional<qsizetype> lowest;
    for (const auto& trigger : triggers) {
        qsizetype start = targetRange.location;
        if (const auto recorded = validRecordedPosition(trigger.get(), outputLength);
            recorded && *recorded > targetRange.location)
            start = std::min(*recorded, targetRange.end());
        start = windowedStart(*trigger, start, targetRange.end());
        lowest = lowest ? std::min(*lowest, start) : start;
    }
    return lowest.value_or(targetRange.location);
}

void MUDTriggerProcessor::doProcessTriggers(const QList<std::shared_ptr<MUDTrigger>>& triggers,
                                            const CVAttributedString& searched, qsizetype offset, quint32,
                                            quint64 commandIndex)
{
    if (isBlank(searched.string()))
        return;
    auto stopwatch = std::make_shared<MachTimer>();
    stopwatch->startTimer();
    const qsizetype length = searched.length();
    const MUDSearchText search(searched.string());
    QList<MUDTriggerProcessObject> objects;
    for (const auto& trigger : triggers) {
        qsizetype start = 0;
        if (const auto recorded = validRecordedPosition(trigger.get(), offset + length);
            recorded && *recorded > offset)
            start = *recorded - offset;
        start = windowedStart(*trigger, start, length);
        if (auto matches = matchTrigger(trigger, searched, search, {start, length - start}, offset))
            objects.append(*matches);
    }
    if (objects.isEmpty())
        return;
    std::stable_sort(objects.begin(), objects.end(),
                     [](const auto& a, const auto& b) { return a.range.location < b.range.location; });
    m_processThread->dispatch([self = shared_from_this(), objects, commandIndex, stopwatch] {
        for (const MUDTriggerProcessObject& object : objects)
            self->processTriggerObject(object, commandIndex);
        const double elapsed = stopwatch->elapsedSeconds();
        if (elapsed > 500.0)
            CVLog(QString::asprintf("ProcessTriggers took %0.2f seconds", elapsed));
    });
}

qsizetype MUDTriggerProcessor::windowedStart(const MUDTrigger& trigger, qsizetype start, qsizetype end)
{
    const qsizetype length = end - start;
    if (length <= MatchWindow)
        return start;
    CVLog(QStringLiteral("Trigger %1 target range is to large: (%2)").arg(trigger.description()).arg(length));
    return end - MatchWindow;
}

std::optional<QList<MUDTriggerProcessObject>> MUDTriggerProcessor::matchTrigger(const std::shared_ptr<MUDTrigger>& trigger,
                                                                                 const CVAttributedString& text)
{
    return matchTrigger(trigger, text, {0, text.length()}, 0);
}

std::optional<QList<MUDTriggerProcessObject>> MUDTriggerProcessor::matchTrigger(const std::shared_ptr<MUDTrigger>& trigger,
                                                                                 const CVAttributedString& text,
                                                                                 CVRange targetRange, qsizetype offset)
{
    const MUDSearchText search(text.string());
    return matchTrigger(trigger, text, search, targetRange, offset);
}

std::optional<QList<MUDTriggerProcessObject>> MUDTriggerProcessor::matchTrigger(const std::shared_ptr<MUDTrigger>& trigger,
                                                                                 const CVAttributedString& text,
                                                                                 const MUDSearchText& search,
                                                                                 CVRange targetRange, qsizetype offset)
{
    if (trigger->matchString().isEmpty())
        return std::nullopt;
    switch (trigger->matchType()) {
    case MUDTrigger::kMatchPlainText:
        return processPlainTrigger(trigger, text, search, targetRange, offset);
    case MUDTrigger::kMatchRegularExpression:
        return processRegexTrigger(trigger, text, search, targetRange, offset);
    default:
        return std::nullopt;
    }
}

std::optional<QList<MUDTriggerProcessObject>> MUDTriggerProcessor::processPlainTrigger(
    const std::shared_ptr<MUDTrigger>& trigger, const CVAttributedString& text, const MUDSearchText& search,
    CVRange targetRange, qsizetype offset)
{
    if (!isValidRange(text, targetRange))
        return std::nullopt;
    const QString& string = text.string();
    const QString pattern = trigger->matchString();
    const Qt::CaseSensitivity sensitivity = trigger->caseSpecific() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // Ignoring case, an ASCII pattern over ASCII text is found exactly in
    // the pass's lower-cased copy, a much quicker search than folding both.
    const bool asciiPattern = std::all_of(pattern.cbegin(), pattern.cend(), [](QChar c) { return c.unicode() < 0x80; });
    const QString lowerPattern = sensitivity == Qt::CaseInsensitive && asciiPattern ? pattern.toLower() : QString();
    QList<MUDTriggerProcessObject> results;
    qsizetype from = targetRange.location;
    while (from <= targetRange.end()) {
        qsizetype location;
        if (!lowerPattern.isEmpty() && search.isAscii(from, targetRange.end())) {
            location = search.find(lowerPattern, true, from, targetRange.end());
        } else {
            const qsizetype found =
                QStringView(string).mid(from, targetRange.end() - from).indexOf(pattern, 0, sensitivity);
            location = found < 0 ? -1 : from + found;
        }
        if (location < 0)
            break;
        recordPosition(trigger.get(), targetRange.end() + offset);
        const CVRange echoed = userCommandRange(text, {location, pattern.size()});
        if (!echoed.isNotFound()) {
            from = echoed.end();
            continue;
        }
        if (!trigger->matchFromStartOfLine() || beginsLine(string, location))
            results.append({trigger, std::nullopt, std::nullopt, {location + offset, pattern.size()}});
        break;
    }
    return results;
}

std::optional<QList<MUDTriggerProcessObject>> MUDTriggerProcessor::processRegexTrigger(
    const std::shared_ptr<MUDTrigger>& trigger, const CVAttributedString& text, CVRange targetRange, qsizetype offset)
{
    const MUDSearchText search(text.string());
    return processRegexTrigger(trigger, text, search, targetRange, offset);
}

std::optional<QList<MUDTriggerProcessObject>> MUDTriggerProcessor::processRegexTrigger(
    const std::shared_ptr<MUDTrigger>& trigger, const CVAttributedString& text, const MUDSearchText& search,
    CVRange targetRange, qsizetype offset)
{
    auto expression = std::static_pointer_cast<MUDRegularExpression>(trigger->compiledRegex());
    if (!expression) {
        int options = MUDRegularExpression::AnchorsMatchLines | MUDRegularExpression::DotMatchesLineSeparators;
        if (!trigger->caseSpecific())
            options |= MUDRegularExpression::CaseInsensitive;
        QString error;
        expression = MUDRegularExpression::compile(trigger->matchString(), options, &error);
        if (!expression) {
            CVLog(QStringLiteral("Trigger %1 failed with error: %2").arg(trigger->description(), error));
            return std::nullopt;
        }
        trigger->setCompiledRegex(expression);
    }
    if (!isValidRange(text, targetRange))
        return std::nullopt;

    const QString& string = text.string();
    const QList<MUDRegularExpressionMatch> matches = expression->matchesInString(search, targetRange);
    if (matches.isEmpty())
        return std::nullopt;
    QList<MUDTriggerProcessObject> results;
    for (const MUDRegularExpressionMatch& match : matches) {
        const CVRange whole = match.range();
        const CVRange echoed = userCommandRange(text, whole);
        if (!echoed.isNotFound()) {
            const qsizetype resume = echoed.end();
            if (auto more = matchTrigger(trigger, text, search, {resume, text.length() - resume}, offset))
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
        parameters.insert(kRestKey, string.mid(whole.end()));
        results.append({trigger, parameters, match.groups, {whole.location + offset, whole.length}});
    }
    if (!results.isEmpty())
        recordPosition(trigger.get(), results.last().range.end());
    return results;
}

CVRange MUDTriggerProcessor::attributedStringLoggingRange(const CVAttributedString& text)
{
    return userCommandRange(text, {0, text.length()});
}

void MUDTriggerProcessor::processTriggerObject(const MUDTriggerProcessObject& object, quint64 commandIndex)
{
    if (!m_javascriptProcessor)
        return;
    auto source = std::make_shared<MUDJavascriptActionSource>();
    source->setActionName(QStringLiteral("Trigger: %1").arg(object.trigger->title()));
    source->setTargetObject(object.trigger);
    source->setDataStartLocation(static_cast<quint64>(object.range.end()));
    m_javascriptProcessor->processActionAsJavascript(object.trigger->action(), source, object.parameters,
                                                     commandIndex);
}

std::optional<qsizetype> MUDTriggerProcessor::recordedPosition(const std::shared_ptr<MUDTrigger>& trigger) const
{
    QMutexLocker lock(&m_lock);
    const auto it = m_lastProcessLookup.constFind(trigger.get());
    if (it == m_lastProcessLookup.cend())
        return std::nullopt;
    return *it;
}

std::optional<qsizetype> MUDTriggerProcessor::validRecordedPosition(const MUDTrigger* trigger, qsizetype limit)
{
    QMutexLocker lock(&m_lock);
    const auto it = m_lastProcessLookup.constFind(trigger);
    if (it == m_lastProcessLookup.cend() || *it > limit)
        return std::nullopt;
    return *it;
}

void MUDTriggerProcessor::recordPosition(const MUDTrigger* trigger, qsizetype position)
{
    QMutexLocker lock(&m_lock);
    m_lastProcessLookup.insert(trigger, position);
}
