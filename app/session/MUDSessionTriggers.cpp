#include "app/session/MUDSessionTriggers.h"

#include <algorithm>

#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDDocument.h"
#include "core/CVLogHelper.h"
#include "core/LVDebounce.h"
#include "engine/automation/MUDTriggerBacklog.h"
#include "engine/automation/MUDTriggerProcessor.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDTextAttributes.h"
#include "engine/storage/MUDConnectionLists.h"

MUDSessionTriggers::MUDSessionTriggers(MUDDocument& document)
    : m_document(document)
    , m_backlog(std::make_shared<MUDTriggerBacklog>())
{
}

MUDSessionTriggers::~MUDSessionTriggers()
{
    LVDebounce::cancelTarget(this);
}

void MUDSessionTriggers::createProcessor()
{
    loadTriggers();
    m_mudTriggerProcessor = std::make_shared<MUDTriggerProcessor>(m_document.javascriptProcessor(), currentTriggers());
    m_mudTriggerProcessor->setBacklog(m_backlog);
}

void MUDSessionTriggers::reload()
{
    loadTriggers();
    resetTriggers();
    startAtEndOfOutput();
}

void MUDSessionTriggers::resetTriggers()
{
    if (m_mudTriggerProcessor)
        m_mudTriggerProcessor->setTriggers(currentTriggers());
    // Cleared output starts over from its new end.
    m_matchedUpTo = std::min(m_matchedUpTo, m_document.output().length());
    m_lineStart = std::min(m_lineStart, m_matchedUpTo);
}

void MUDSessionTriggers::loadTriggers()
{
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    if (CVError error; connection && !MUDConnectionLists::forceLoadTriggers(*connection, &error))
        CVLog(QStringLiteral("MUDSessionTriggers - no triggers loaded: %1").arg(error.description));
}

MUDTriggerList MUDSessionTriggers::currentTriggers() const
{
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    return connection ? MUDConnectionLists::triggers(*connection).value_or(MUDTriggerList()) : MUDTriggerList();
}

void MUDSessionTriggers::textReceived(qsizetype length)
{
    if (m_matchEveryLine) {
        if (const qsizetype end = endOfCompleteLines(length); end >= 0)
            matchEveryLineUpTo(end);
    }
    m_unprocessedTriggerLength += length;
    LVDebounce::fireAfter(TriggerProcessDelay, this, "handleTriggerProcess", nullptr,
                          [this] { handleTriggerProcess(); });
}

void MUDSessionTriggers::promptEnded()
{
    // Nothing new since the last pass: the prompt was matched already.
    if (m_unprocessedTriggerLength == 0)
        return;
    LVDebounce::cancelTarget(this, "handleTriggerProcess", nullptr);
    handleTriggerProcess();
}

void MUDSessionTriggers::startAtEndOfOutput()
{
    m_startOfTriggerProcessingOffset = m_document.output().length();
    m_matchedUpTo = m_startOfTriggerProcessingOffset;
    m_lineStart = m_matchedUpTo;
}

void MUDSessionTriggers::setMatchEveryLine(bool matchEveryLine)
{
    if (m_matchEveryLine == matchEveryLine)
        return;
    LVDebounce::cancelTarget(this);
    if (m_unprocessedTriggerLength > 0)
        handleTriggerProcess();
    m_matchEveryLine = matchEveryLine;
    startAtEndOfOutput();
}

qsizetype MUDSessionTriggers::endOfCompleteLines(qsizetype received) const
{
    const MUDOutputModel& output = m_document.output();
    const qsizetype length = output.length();
    if (const qsizetype feed = lastLineFeed(std::max(m_matchedUpTo, length - received), length); feed >= 0)
        return feed + 1;
    // A line that never ends is still handed over piece by piece.
    if (length - m_matchedUpTo >= MaxEveryLinePiece)
        return length;
    return -1;
}

void MUDSessionTriggers::matchEveryLineUpTo(qsizetype end)
{
    if (!m_mudTriggerProcessor || m_document.isClosed())
        return;
    const MUDOutputModel& output = m_document.output();
    end = std::min(end, output.length());
    const quint64 commandIndex = m_document.commandPipeline().commandIndex();
    while (m_matchedUpTo < end) {
        // A line matched as a prompt before it ended is searched again from
        // its start, so that a match crossing the old end is found whole;
        // only matches reaching past it count (a line of a piece's length
        // is not taken up again).
        const qsizetype start = m_matchedUpTo - m_lineStart <= MaxEveryLinePiece ? m_lineStart : m_matchedUpTo;
        qsizetype pieceEnd = std::min(end, m_matchedUpTo + MaxEveryLinePiece);
        const qsizetype lastFeed = lastLineFeed(m_matchedUpTo, pieceEnd);
        if (pieceEnd < end && lastFeed >= 0)
            pieceEnd = lastFeed + 1;
        // One character before the piece tells whether it begins a line.
        const qsizetype context = start > 0 ? 1 : 0;
        m_mudTriggerProcessor->processEveryLine(
            output.attributedSubstring({start - context, pieceEnd - start + context}, MUDUserCommandProperty),
            start - context, context, m_matchedUpTo, commandIndex);
        if (lastFeed >= 0)
            m_lineStart = lastFeed + 1;
        m_matchedUpTo = pieceEnd;
    }
}

qsizetype MUDSessionTriggers::lastLineFeed(qsizetype from, qsizetype to) const
{
    const MUDOutputModel& output = m_document.output();
    for (qsizetype i = to - 1; i >= from; --i) {
        if (output.characterAt(i) == u'\n')
            return i;
    }
    return -1;
}

CVRange MUDSessionTriggers::triggerProcessingRange() const
{
    const MUDOutputModel& output = m_document.output();
    const qsizetype length = output.length();
    // After clearOutput the offset may lie past the end: start at the end then.
    const qsizetype floor = std::min(m_startOfTriggerProcessingOffset, length);
    const qsizetype window = std::max(m_unprocessedTriggerLength, MinimumTriggerWindow);
    if (length < window)
        return {floor, length - floor};
    qsizetype start = 0;
    const qsizetype searchEnd = length - window;
    for (qsizetype i = searchEnd - 1; i >= 0; --i) {
        if (output.characterAt(i) == u'\n') {
            start = i;
            break;
        }
    }
    start = std::max(start, floor);
    return {start, length - start};
}

void MUDSessionTriggers::handleTriggerProcess()
{
    if (m_matchEveryLine) {
        matchEveryLineUpTo(m_document.output().length());
    } else if (m_mudTriggerProcessor && !m_document.isClosed()) {
        const MUDOutputModel& output = m_document.output();
        const CVRange range = triggerProcessingRange();
        // The processor never reads further back than its match window from
        // the end, so only that tail is copied, however long the output.
        const qsizetype windowStart = std::max(range.location, range.end() - MUDTriggerProcessor::MatchWindow);
        m_mudTriggerProcessor->processTriggersInWindow(
            output.attributedSubstring({windowStart, output.length() - windowStart}), windowStart, range, 0,
            m_document.commandPipeline().commandIndex());
    }
    m_unprocessedTriggerLength = 0;
}
