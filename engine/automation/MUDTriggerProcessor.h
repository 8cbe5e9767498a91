#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <memory>
#include <optional>

#include "core/CVRange.h"
#include "engine/automation/MUDSearchText.h"
#include "engine/automation/MUDTriggerBacklog.h"
#include "engine/automation/MUDTriggerProcessObject.h"

class CVAttributedString;
class CVOperationQueue;
class MachTimer;
class MUDJavascriptProcessor;
class MUDTrigger;
struct MUDGMCPMessage;

// Finds a connection's triggers in the session's output and runs their
// scripts. Each pass asks MUDTriggerMatcher where a trigger matches, from
// where that trigger's last pass got to, and records how far it got. The
// entry point runs on the session's (main) thread and returns
// at once; matching runs on the shared operation queue, scripts run one at a
// time, in order of position, on the processor's own serial queue. The
// per-trigger matched-up-to positions are guarded by one lock; the trigger
// list is replaced under it too. Create with std::make_shared.
class MUDTriggerProcessor : public std::enable_shared_from_this<MUDTriggerProcessor> {
public:
    // Each trigger searches at most this many characters per pass.
    static constexpr qsizetype MatchWindow = 5120;

    MUDTriggerProcessor(std::shared_ptr<MUDJavascriptProcessor> javascriptProcessor,
                        QList<std::shared_ptr<MUDTrigger>> triggers);
    ~MUDTriggerProcessor();
    MUDTriggerProcessor(const MUDTriggerProcessor&) = delete;
    MUDTriggerProcessor& operator=(const MUDTriggerProcessor&) = delete;

    QList<std::shared_ptr<MUDTrigger>> triggers() const;
    // Replaces the list and forgets every recorded position.
    void setTriggers(QList<std::shared_ptr<MUDTrigger>> triggers);

    // `output` is the session's whole output, `range` the part not processed
    // yet; `triggerSource` is not used.
    void processTriggersInString(const CVAttributedString& output, CVRange range, quint32 triggerSource,
                                 quint64 commandIndex);
    // The same pass given only the output's tail: `window` holds the output
    // from `windowOffset` to its end; `range` counts whole-output offsets and
    // starts at or after `windowOffset`. Spares the caller a copy of output
    // the pass never reads.
    void processTriggersInWindow(const CVAttributedString& window, qsizetype windowOffset, CVRange range,
                                 quint32 triggerSource, quint64 commandIndex);

    // Matching every line: `text` holds the output from `offset` on; its
    // first `context` characters (0 or 1) only tell whether the rest begins
    // a line. Each candidate searches the rest once
    // (MUDTriggerMatcher::Scope::EveryLine), with no window and no recorded
    // positions, keeping only matches that end after the output offset
    // `newFrom`: text before it was matched already (a prompt matched while
    // its line was incomplete), and is searched again only so that a match
    // running on into the new text is found whole. Returns at once: passes
    // run one after another on the processor's match queue, their scripts
    // in position order on its script queue, and both are counted in the
    // backlog.
    void processEveryLine(const CVAttributedString& text, qsizetype offset, qsizetype context, qsizetype newFrom,
                          quint64 commandIndex);
    // One GMCP message: the scripts of the GMCP package triggers that name
    // its package, queued in list order on the script queue behind those
    // of earlier passes and counted in the backlog. Text passes never fire
    // these triggers. Returns at once.
    void processGMCPMessage(const MUDGMCPMessage& message, quint64 commandIndex);
    // Where every-line work is counted; none counts nothing.
    void setBacklog(std::shared_ptr<MUDTriggerBacklog> backlog);

    // The matching pass over `searched`, which starts at `offset` in the output.
    void doProcessTriggers(const QList<std::shared_ptr<MUDTrigger>>& triggers, const CVAttributedString& searched,
                           qsizetype offset, quint32 triggerSource, quint64 commandIndex);

    // The smallest start of search among `triggers` within `targetRange` of
    // an output of `outputLength` characters.
    qsizetype lowestLocationForTriggers(const QList<std::shared_ptr<MUDTrigger>>& triggers, CVRange targetRange,
                                        qsizetype outputLength);

    // Runs one match's script on the calling thread.
    void processTriggerObject(const MUDTriggerProcessObject& object, quint64 commandIndex);

    // The recorded matched-up-to position of a trigger, if any (for tests and
    // the session's diagnostics).
    std::optional<qsizetype> recordedPosition(const std::shared_ptr<MUDTrigger>& trigger) const;

private:
    // The every-line pass itself, on the match queue.
    void matchEveryLine(const QList<std::shared_ptr<MUDTrigger>>& candidates, const CVAttributedString& text,
                        qsizetype offset, qsizetype context, qsizetype newFrom, quint64 commandIndex,
                        const std::shared_ptr<MachTimer>& stopwatch,
                        const std::shared_ptr<MUDTriggerBacklog::Share>& share);
    // The literals of `candidates` as sets searched in one pass, made again
    // only when the literals change. Match queue only.
    MUDSearchText::Literals everyLineLiterals(const QList<std::shared_ptr<MUDTrigger>>& candidates);
    // A share of the backlog, when one counts this processor's work.
    std::shared_ptr<MUDTriggerBacklog::Share> holdBacklog(qsizetype characters, qsizetype scripts);
    // The enabled triggers whose script is not waiting for server data.
    QList<std::shared_ptr<MUDTrigger>> candidateTriggers() const;
    // Queues the scripts of `objects` (sorted by position) on the script queue.
    void runScripts(QList<MUDTriggerProcessObject> objects, quint64 commandIndex, std::shared_ptr<MachTimer> stopwatch,
                    std::shared_ptr<MUDTriggerBacklog::Share> share);
    // A recorded position counts only while it lies within `limit` (the
    // output's length), so a cleared output does not silence a trigger.
    std::optional<qsizetype> validRecordedPosition(const MUDTrigger* trigger, qsizetype limit);
    void recordPosition(const MUDTrigger* trigger, qsizetype position);
    // Cuts a search that starts at `start` and ends at `end` to the window.
    static qsizetype windowedStart(const MUDTrigger& trigger, qsizetype start, qsizetype end);

    std::shared_ptr<MUDJavascriptProcessor> m_javascriptProcessor;
    std::unique_ptr<CVOperationQueue> m_processQueue;
    std::unique_ptr<CVOperationQueue> m_everyLineMatchQueue;
    std::shared_ptr<MUDTriggerBacklog> m_backlog;
    // The last every-line literal sets and the lists they were made from;
    // match queue only.
    QStringList m_everyLineIgnoringCase;
    QStringList m_everyLineExact;
    MUDSearchText::Literals m_everyLineLiterals;
    mutable QMutex m_lock;
    QList<std::shared_ptr<MUDTrigger>> m_triggers;
    QHash<const void*, qsizetype> m_lastProcessLookup;
};
