#pragma once

#include <QtGlobal>
#include <memory>

#include "core/CVRange.h"
#include "engine/automation/MUDScriptLists.h"

class MUDDocument;
class MUDTriggerProcessor;

// A session's triggers: a processor made afresh on every connect from the
// connection's stored triggers, and the passes that hand it the output.
// A pass runs TriggerProcessDelay after the last chunk of server text, over
// the lines that hold the text received since the last pass (at least
// MinimumTriggerWindow characters), never before the point where the
// session connected or its triggers were reloaded. Main thread.
class MUDSessionTriggers {
public:
    static constexpr double TriggerProcessDelay = 0.15;
    static constexpr qsizetype MinimumTriggerWindow = 1024;

    explicit MUDSessionTriggers(MUDDocument& document);
    ~MUDSessionTriggers();

    // A connect: the connection's triggers read again and a new processor.
    void createProcessor();
    // The connection's triggers changed on disk: read again, and matched
    // only against output from now on.
    void reload();
    // The processor starts over with the connection's triggers (the output
    // it matched was cleared).
    void resetTriggers();
    MUDTriggerProcessor* triggerProcessor() const { return m_mudTriggerProcessor.get(); }

    // Server text of `length` characters was appended: the pass waits for a pause.
    void textReceived(qsizetype length);
    // Runs the pass now.
    void handleTriggerProcess();
    // The part of the output the next pass looks at.
    CVRange triggerProcessingRange() const;
    // Triggers never look before the output's current end.
    void startAtEndOfOutput();
    qsizetype startOfTriggerProcessingOffset() const { return m_startOfTriggerProcessingOffset; }

private:
    // Reads the connection's triggers from storage again; a failure is logged.
    void loadTriggers();
    MUDTriggerList currentTriggers() const;

    MUDDocument& m_document;
    std::shared_ptr<MUDTriggerProcessor> m_mudTriggerProcessor;
    qsizetype m_startOfTriggerProcessingOffset = 0;
    // Server text since the last pass: only its length sizes the pass's
    // window, so the text itself is not kept.
    qsizetype m_unprocessedTriggerLength = 0;
};
