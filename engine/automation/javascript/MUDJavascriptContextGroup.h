#pragma once

#include <QStringList>
#include <functional>

struct OpaqueJSContextGroup;
struct OpaqueJSClass;
struct OpaqueJSContext;
class MUDJavascriptContext;

// One JavaScriptCore context group: the virtual machine that every script
// context of one runtime lives in, plus the class of their global object that
// carries the native functions named at construction. Created and destroyed
// on any thread; contexts of the group may run on any thread, one thread per
// context.
class MUDJavascriptContextGroup {
public:
    // Decides, on the thread running the script, whether the script in
    // `context` is to be terminated now.
    using TerminationCheck = std::function<bool(MUDJavascriptContext* context)>;

    static constexpr int MaximumFunctionCount = 32;

    // The names become functions of every context's global object; names past
    // MaximumFunctionCount are dropped with a log line.
    explicit MUDJavascriptContextGroup(const QStringList& globalFunctionNames);
    ~MUDJavascriptContextGroup();
    MUDJavascriptContextGroup(const MUDJavascriptContextGroup&) = delete;
    MUDJavascriptContextGroup& operator=(const MUDJavascriptContextGroup&) = delete;

    const QStringList& functionNames() const { return m_functionNames; }

    // Asks `check` after every `intervalSeconds` of a script's execution
    // whether to terminate it. Set once, before contexts run.
    void setTerminationCheck(double intervalSeconds, TerminationCheck check);

private:
    friend class MUDJavascriptContext;
    static bool shouldTerminate(const OpaqueJSContext* jsContext, void* group);

    const OpaqueJSContextGroup* m_group = nullptr;
    OpaqueJSClass* m_globalClass = nullptr;
    QStringList m_functionNames;
    TerminationCheck m_terminationCheck;
    double m_terminationInterval = 0;
};
