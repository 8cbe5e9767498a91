#include "app/session/MUDSessionTriggers.h"

#include <algorithm>

#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDDocument.h"
#include "core/CVLogHelper.h"
#include "core/LVDebounce.h"
#include "engine/automation/MUDTriggerProcessor.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/storage/MUDConnectionLists.h"

MUDSessionTriggers::MUDSessionTriggers(MUDDocument& document)
    : m_document(document)
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
    m_unprocessedTriggerLength += length;
    LVDebounce::fireAfter(TriggerProcessDelay, this, "handleTriggerProcess", nullptr,
                          [this] { handleTriggerProcess(); });
}

void MUDSessionTriggers::startAtEndOfOutput()
{
    m_startOfTriggerProcessingOffset = m_document.output().length();
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
    if (m_mudTriggerProcessor && !m_document.isClosed()) {
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
