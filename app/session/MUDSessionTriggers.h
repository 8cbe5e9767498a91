#pragma once

#include <QtGlobal>
#include <memory>

#include "core/CVRange.h"
#include "engine/automation/MUDScriptLists.h"

class MUDDocument;
class MUDTriggerBacklog;
class MUDTriggerProcessor;

// A session's triggers: a processor made afresh on every connect from the
// connection's stored triggers, and the passes that hand it the output.
// A pass runs TriggerProcessDelay after the last chunk of server text, over
// the lines that hold the text received since the last pass (at least
// MinimumTriggerWindow characters), never before the point where the
// session connected or its triggers were reloaded.
//
// When the player asks for every line to be matched, complete lines go to
// matching as soon as they arrive, and the rest of a line (a prompt) once
// output has been quiet for TriggerProcessDelay; each character is handed
// over once, so a prompt is not matched again when its line completes.
// Matching and scripts run off the main thread; their backlog slows the
// receiving side down when they fall behind. Main thread.
class MUDSessionTriggers {
public:
    static constexpr double TriggerProcessDelay = 0.15;
    static constexpr qsizetype MinimumTriggerWindow = 1024;
    // Every-line passes hand over at most this much text at once, cut after
    // a line feed where there is one: a line longer than this (no game sends
    // one) is matched in pieces.
    static constexpr qsizetype MaxEveryLinePiece = 64 * 1024;

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

    // Server text of `length` characters was appended: the pass waits for a
    // pause (every-line mode: complete lines go to matching at once).
    void textReceived(qsizetype length);
    // Runs the pass now (every-line mode: hands over all text not yet matched).
    void handleTriggerProcess();
    // The server marked the end of a prompt (telnet GA or EOR): the text
    // not yet matched goes to matching at once, without waiting for a pause.
    void promptEnded();

    bool matchesEveryLine() const { return m_matchEveryLine; }
    // Switches mode; what was received until now is matched the old way.
    void setMatchEveryLine(bool matchEveryLine);
    // What every-line matching has waiting; the receiving side waits on it.
    std::shared_ptr<MUDTriggerBacklog> backlog() const { return m_backlog; }
    // The part of the output the next pass looks at.
    CVRange triggerProcessingRange() const;
    // Triggers never look before the output's current end.
    void startAtEndOfOutput();
    qsizetype startOfTriggerProcessingOffset() const { return m_startOfTriggerProcessingOffset; }

private:
    // Reads the connection's triggers from storage again; a failure is logged.
    void loadTriggers();
    MUDTriggerList currentTriggers() const;
    // Every-line mode: hands the output from m_matchedUpTo to `end` to
    // matching, in pieces of at most MaxEveryLinePiece.
    void matchEveryLineUpTo(qsizetype end);
    // Every-line mode: the end of the complete lines among the last
    // `received` characters of output, or -1 when they hold no line feed.
    qsizetype endOfCompleteLines(qsizetype received) const;
    // The last line feed of the output in [from, to), or -1.
    qsizetype lastLineFeed(qsizetype from, qsizetype to) const;

    MUDDocument& m_document;
    std::shared_ptr<MUDTriggerProcessor> m_mudTriggerProcessor;
    qsizetype m_startOfTriggerProcessingOffset = 0;
    // Server text since the last pass: only its length sizes the pass's
    // window, so the text itself is not kept.
    qsizetype m_unprocessedTriggerLength = 0;

    bool m_matchEveryLine = false;
    // Every-line mode: the output before this offset has gone to matching,
    // and m_lineStart is where the line holding it begins (the same offset
    // unless a prompt's line is still open).
    qsizetype m_matchedUpTo = 0;
    qsizetype m_lineStart = 0;
    const std::shared_ptr<MUDTriggerBacklog> m_backlog;
};
