#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class MUDJavascriptContext;
class MUDJavascriptContextGroup;

// The contexts a runtime's scripts share. Creating a context costs far more
// than running a small script, so a script whose code cannot leave a trace
// (MUDJavascriptReuseCheck) borrows an idle context, and the context goes
// back once the global names the script assigned are put back. Any other
// script gets a context of its own, used once. Any thread: the idle list and
// the verdicts are guarded by one lock, and a borrowed context belongs to the
// borrowing thread alone until it is given back.
class MUDJavascriptContextPool {
public:
    // Prepares each new context (its global objects and aliases).
    using Preparation = void (*)(MUDJavascriptContext& context);

    MUDJavascriptContextPool(MUDJavascriptContextGroup& group, Preparation prepare);
    ~MUDJavascriptContextPool();
    MUDJavascriptContextPool(const MUDJavascriptContextPool&) = delete;
    MUDJavascriptContextPool& operator=(const MUDJavascriptContextPool&) = delete;

    // A new prepared context, for one run only.
    std::unique_ptr<MUDJavascriptContext> createContext() const;

    // A prepared context that no script has left a trace in, for a script
    // whose function body is `body`, with the global names it may assign
    // recorded; null when the script must run in a context of its own.
    std::unique_ptr<MUDJavascriptContext> borrowContext(const QString& body);
    // Gives back a borrowed context after its run: the recorded global
    // names are put back; a context that cannot be put back is dropped.
    void giveBack(std::unique_ptr<MUDJavascriptContext> context);

private:
    std::optional<QStringList> assignedGlobalNames(const QString& body, MUDJavascriptContext& context);

    MUDJavascriptContextGroup& m_group;
    Preparation m_prepare;
    QMutex m_lock;
    std::vector<std::unique_ptr<MUDJavascriptContext>> m_idle;
    // Per function body: the global names it may assign, or nothing when it
    // must not share a context.
    QHash<QString, std::optional<QStringList>> m_verdicts;
};
