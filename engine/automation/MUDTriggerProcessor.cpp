#include "engine/automation/MUDTriggerProcessor.h"

#include <QMutexLocker>
#include <algorithm>

#include "core/CVAttributedString.h"
#include "core/CVLogHelper.h"
#include "core/CVOperationQueue.h"
#include "core/MachTimer.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDLiteralSet.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggerMatcher.h"

namespace {

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

}

MUDTriggerProcessor::MUDTriggerProcessor(std::shared_ptr<MUDJavascriptProcessor> javascriptProcessor,
                                         QList<std::shared_ptr<MUDTrigger>> triggers)
    : m_javascriptProcessor(std::move(javascriptProcessor))
    , m_processQueue(std::make_unique<CVOperationQueue>(1, "trigger-scripts"))
    , m_everyLineMatchQueue(std::make_unique<CVOperationQueue>(1, "trigger-match"))
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

void MUDTriggerProcessor::processTriggersInString(const CVAttributedString& output, CVRange range,
                                                  quint32 triggerSource, quint64 commandIndex)
{
    processTriggersInWindow(output, 0, range, triggerSource, commandIndex);
}

void MUDTriggerProcessor::processTriggersInWindow(const CVAttributedString& window, qsizetype windowOffset,
                                                  CVRange range, quint32 triggerSource, quint64 commandIndex)
{
    if (isBlank(window.string()))
        return;
    const QList<std::shared_ptr<MUDTrigger>> candidates = candidateTriggers();

    auto stopwatch = std::make_shared<MachTimer>();
    stopwatch->startTimer();
    const qsizetype outputLength = windowOffset + window.length();
    const qsizetype lowest = std::max(windowOffset, lowestLocationForTriggers(candidates, range, outputLength));
    const CVAttributedString searched = window.substring({lowest - windowOffset, outputLength - lowest});

    CVOperationQueue::shared().addOperation(
        [self = shared_from_this(), candidates, searched, lowest, triggerSource, commandIndex, stopwatch] {
            self->doProcessTriggers(candidates, searched, lowest, triggerSource, commandIndex);
            const double elapsed = stopwatch->elapsedSeconds();
            if (elapsed > 1.0)
                CVLog(QString::asprintf("doProcessTriggers test took %0.2f seconds", elapsed));
        });
}

QList<std::shared_ptr<MUDTrigger>> MUDTriggerProcessor::candidateTriggers() const
{
    QList<std::shared_ptr<MUDJavascriptActionSource>> waiting;
    if (m_javascriptProcessor)
        waiting = m_javascriptProcessor->waitingActions();
    QList<std::shared_ptr<MUDTrigger>> candidates;
    for (const auto& trigger : triggers()) {
        if (trigger->disabled())
            continue;
        const bool isWaiting = std::any_of(waiting.cbegin(), waiting.cend(),
                                           [&](const auto& source) { return source->hasTargetObject(trigger.get()); });
        if (!isWaiting)
            candidates.append(trigger);
    }
    return candidates;
}

void MUDTriggerProcessor::setBacklog(std::shared_ptr<MUDTriggerBacklog> backlog)
{
    QMutexLocker lock(&m_lock);
    m_backlog = std::move(backlog);
}

std::shared_ptr<MUDTriggerBacklog::Share> MUDTriggerProcessor::holdBacklog(qsizetype characters, qsizetype scripts)
{
    QMutexLocker lock(&m_lock);
    return m_backlog ? std::make_shared<MUDTriggerBacklog::Share>(m_backlog->hold(characters, scripts)) : nullptr;
}

void MUDTriggerProcessor::processEveryLine(const CVAttributedString& text, qsizetype offset, qsizetype context,
                                           qsizetype newFrom, quint64 commandIndex)
{
    const qsizetype searchedLength = text.length() - context;
    if (searchedLength <= 0 || offset + text.length() <= newFrom)
        return;
    const QList<std::shared_ptr<MUDTrigger>> candidates = candidateTriggers();
    std::shared_ptr<MUDTriggerBacklog::Share> share = holdBacklog(searchedLength, 0);
    auto stopwatch = std::make_shared<MachTimer>();
    stopwatch->startTimer();
    m_everyLineMatchQueue->addOperation(
        [self = shared_from_this(), candidates, text, offset, context, newFrom, commandIndex, stopwatch, share] {
            self->matchEveryLine(candidates, text, offset, context, newFrom, commandIndex, stopwatch, share);
        });
}

void MUDTriggerProcessor::matchEveryLine(const QList<std::shared_ptr<MUDTrigger>>& candidates,
                                         const CVAttributedString& text, qsizetype offset, qsizetype context,
                                         qsizetype newFrom, quint64 commandIndex,
                                         const std::shared_ptr<MachTimer>& stopwatch,
                                         const std::shared_ptr<MUDTriggerBacklog::Share>& share)
{
    const MUDSearchText search(text.string(), everyLineLiterals(candidates));
    const CVRange searched{context, text.length() - context};
    QList<MUDTriggerProcessObject> objects;
    for (const auto& trigger : candidates) {
        const MUDTriggerMatcher::Matches matches = MUDTriggerMatcher::matchTrigger(
            trigger, text, search, searched, offset, MUDTriggerMatcher::Scope::EveryLine);
        if (!matches.objects)
            continue;
        for (const MUDTriggerProcessObject& object : *matches.objects) {
            if (object.range.end() > newFrom)
                objects.append(object);
        }
    }
    if (share)
        share->release();
    if (stopwatch->elapsedSeconds() > 1.0)
        CVLog(QString::asprintf("doProcessTriggers test took %0.2f seconds", stopwatch->elapsedSeconds()));
    if (objects.isEmpty())
        return;
    std::stable_sort(objects.begin(), objects.end(),
                     [](const auto& a, const auto& b) { return a.range.location < b.range.location; });
    std::shared_ptr<MUDTriggerBacklog::Share> scriptShare = holdBacklog(0, objects.size());
    runScripts(std::move(objects), commandIndex, stopwatch, scriptShare);
}

MUDSearchText::Literals MUDTriggerProcessor::everyLineLiterals(const QList<std::shared_ptr<MUDTrigger>>& candidates)
{
    QStringList ignoringCase;
    QStringList exact;
    MUDTriggerMatcher::collectLiterals(candidates, &ignoringCase, &exact);
    if (!m_everyLineLiterals.ignoringCase || ignoringCase != m_everyLineIgnoringCase || exact != m_everyLineExact) {
        m_everyLineLiterals = {std::make_shared<const MUDLiteralSet>(ignoringCase),
                               std::make_shared<const MUDLiteralSet>(exact)};
        m_everyLineIgnoringCase = std::move(ignoringCase);
        m_everyLineExact = std::move(exact);
    }
    return m_everyLineLiterals;
}

void MUDTriggerProcessor::processGMCPMessage(const MUDGMCPMessage& message, quint64 commandIndex)
{
    QList<MUDTriggerProcessObject> objects;
    for (const auto& trigger : candidateTriggers()) {
        if (auto object = MUDTriggerMatcher::matchGMCPMessage(trigger, message))
            objects.append(*object);
    }
    if (objects.isEmpty())
        return;
    auto stopwatch = std::make_shared<MachTimer>();
    stopwatch->startTimer();
    std::shared_ptr<MUDTriggerBacklog::Share> share = holdBacklog(0, objects.size());
    runScripts(std::move(objects), commandIndex, stopwatch, share);
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
        if (const auto recorded = validRecordedPosition(trigger.get(), offset + length); recorded && *recorded > offset)
            start = *recorded - offset;
        start = windowedStart(*trigger, start, length);
        const MUDTriggerMatcher::Matches matches =
            MUDTriggerMatcher::matchTrigger(trigger, searched, search, {start, length - start}, offset);
        if (matches.matchedUpTo)
            recordPosition(trigger.get(), *matches.matchedUpTo);
        if (matches.objects)
            objects.append(*matches.objects);
    }
    if (objects.isEmpty())
        return;
    std::stable_sort(objects.begin(), objects.end(),
                     [](const auto& a, const auto& b) { return a.range.location < b.range.location; });
    runScripts(std::move(objects), commandIndex, stopwatch, nullptr);
}

void MUDTriggerProcessor::runScripts(QList<MUDTriggerProcessObject> objects, quint64 commandIndex,
                                     std::shared_ptr<MachTimer> stopwatch,
                                     std::shared_ptr<MUDTriggerBacklog::Share> share)
{
    m_processQueue->addOperation([self = shared_from_this(), objects, commandIndex, stopwatch, share] {
        for (const MUDTriggerProcessObject& object : objects) {
            self->processTriggerObject(object, commandIndex);
            if (share)
                share->releaseScripts(1);
        }
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

void MUDTriggerProcessor::processTriggerObject(const MUDTriggerProcessObject& object, quint64 commandIndex)
{
    if (!m_javascriptProcessor)
        return;
    auto source = std::make_shared<MUDJavascriptActionSource>();
    source->setActionName(QStringLiteral("Trigger: %1").arg(object.trigger->title()));
    source->setTargetObject(object.trigger);
    source->setDataStartLocation(static_cast<quint64>(object.range.end()));
    m_javascriptProcessor->processActionAsJavascript(object.trigger->action(), source, object.parameters, commandIndex);
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
