#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

struct OpaqueJSContext;
struct OpaqueJSValue;
class MUDJavascriptContextGroup;

// The arguments of one call from a script into a group function, each as a
// plain value and as JavaScript's own text form (String(value): an array
// gives its elements joined by commas, null gives "null"). Each form is made
// when asked for, so a function that reads only some of them converts only
// those. Valid only while the call lasts.
class MUDJavascriptArguments {
public:
    MUDJavascriptArguments(const OpaqueJSContext* context, const OpaqueJSValue* const* arguments, qsizetype count)
        : m_context(context)
        , m_arguments(arguments)
        , m_count(count)
    {
    }

    qsizetype size() const { return m_count; }
    // A missing argument reads as undefined (an invalid QVariant).
    QVariant value(qsizetype index) const;
    // A missing argument reads as the empty string, as String() does.
    QString text(qsizetype index = 0) const;
    QStringList texts() const;

private:
    const OpaqueJSContext* m_context;
    const OpaqueJSValue* const* m_arguments;
    qsizetype m_count;
};

// One fresh JavaScript global context in a group, with the group's native
// functions bound to Qt callables. Values cross as QVariant: undefined and
// null as an invalid QVariant, booleans, numbers (double), strings, and
// arrays and objects as QVariantList / QVariantMap; arguments also carry
// their text forms. A function may also return a QJsonValue, which keeps
// null apart from undefined. Used by one thread at a
// time (the thread that runs the script); never shared between threads.
class MUDJavascriptContext {
public:
    // Receives every call of a group function: its index in the group's
    // list of names and the arguments.
    using Handler = std::function<QVariant(int functionIndex, const MUDJavascriptArguments& arguments)>;

    explicit MUDJavascriptContext(MUDJavascriptContextGroup& group);
    ~MUDJavascriptContext();
    MUDJavascriptContext(const MUDJavascriptContext&) = delete;
    MUDJavascriptContext& operator=(const MUDJavascriptContext&) = delete;

    // Binds the group's global functions; without a handler they return undefined.
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // Defines the global variable `name` as a new empty object, as
    // `var name = {};` would.
    void defineGlobalObject(const QString& name);
    // Defines the global variable `name` as the global object itself, as
    // `var name = this;` would.
    void defineGlobalSelfReference(const QString& name);

    // Makes `object.property` (object a global variable) the same function as
    // the global function `functionName`. False when `object` is no object.
    bool aliasFunction(const QString& object, const QString& property, const QString& functionName);

    // Evaluates `script`. False when it threw (or was terminated); the
    // exception's text form then goes to `exception`.
    bool evaluate(const QString& script, QVariant* result, QString* exception);

    // Runs `body` as the body of a function called with no arguments, as a
    // wrapped script would run it, without parsing it again when this
    // context ran the same body before. Results as evaluate() gives them.
    // Only for bodies that cannot reach the function object they run in: the
    // function is kept for the next run.
    bool callFunctionBody(const QString& body, QVariant* result, QString* exception);

    // Whether `script` parses, without running it; the error text on failure.
    // Parsing needs no globals, so any context of any group will do.
    bool checkSyntax(const QString& script, QString* error) const;

    // Whether `body` is a complete function body on its own: it cannot close
    // the function it is written into and go on at the top level.
    bool isFunctionBody(const QString& body);

    // Records the global object's own properties `names` (as they are now),
    // to be put back by restoreGlobals. False when they cannot be recorded.
    bool saveGlobals(const QStringList& names);
    // Puts the recorded properties back: a property that did not exist is
    // removed again. False when one could not be put back.
    bool restoreGlobals();

    MUDJavascriptContextGroup& group() const { return m_group; }

    // Free for the owner of the context (the run it belongs to).
    void setUserData(void* data) { m_userData = data; }
    void* userData() const { return m_userData; }

private:
    friend class MUDJavascriptContextGroup;
    template<int Index> friend struct MUDJavascriptCallback;
    QVariant call(int index, const MUDJavascriptArguments& arguments);
    const OpaqueJSValue* globalsKeeper();
    void forgetSavedGlobals();
    void forgetFunctions();

    MUDJavascriptContextGroup& m_group;
    OpaqueJSContext* m_context = nullptr;
    Handler m_handler;
    void* m_userData = nullptr;
    // Built on first use, while the global object is still as created;
    // kept from collection while the context lives.
    const OpaqueJSValue* m_globalsKeeper = nullptr;
    const OpaqueJSValue* m_savedNames = nullptr;
    const OpaqueJSValue* m_savedGlobals = nullptr;
    // Compiled function bodies by text, kept from collection.
    QHash<QString, const OpaqueJSValue*> m_functions;
};
