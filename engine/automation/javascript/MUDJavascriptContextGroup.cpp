#include "engine/automation/javascript/MUDJavascriptContextGroup.h"

#include <JavaScriptCore/JavaScript.h>
#include <array>
#include <utility>

#include "core/CVLogHelper.h"
#include "engine/automation/javascript/MUDJavascriptContext.h"
#include "engine/automation/javascript/MUDJavascriptValue.h"

// Exported by the library, declared in a header Debian does not ship. The
// callback runs on the thread executing the script once `limit` seconds of
// execution have passed. Measured with the library here: returning false does
// not re-arm the limit, so the callback sets it again.
extern "C" {
typedef bool (*JSShouldTerminateCallback)(JSContextRef ctx, void* context);
JS_EXPORT void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef group, double limit,
                                                   JSShouldTerminateCallback callback, void* context);
}

// Static functions carry no data of their own, so each slot gets its own
// callback that finds the running context through the global object.
template<int Index> struct MUDJavascriptCallback {
    static JSValueRef call(JSContextRef ctx, JSObjectRef, JSObjectRef, size_t argumentCount,
                           const JSValueRef arguments[], JSValueRef*)
    {
        auto* context = static_cast<MUDJavascriptContext*>(JSObjectGetPrivate(JSContextGetGlobalObject(ctx)));
        if (!context)
            return JSValueMakeUndefined(ctx);
        const MUDJavascriptArguments values(ctx, arguments, static_cast<qsizetype>(argumentCount));
        return MUDJavascriptValue::fromVariant(ctx, context->call(Index, values));
    }
};

namespace {

template<int... Index>
constexpr std::array<JSObjectCallAsFunctionCallback, sizeof...(Index)> makeCallbacks(
    std::integer_sequence<int, Index...>)
{
    return {&MUDJavascriptCallback<Index>::call...};
}

constexpr auto kCallbacks =
    makeCallbacks(std::make_integer_sequence<int, MUDJavascriptContextGroup::MaximumFunctionCount>());

}

MUDJavascriptContextGroup::MUDJavascriptContextGroup(const QStringList& globalFunctionNames)
    : m_functionNames(globalFunctionNames)
{
    if (m_functionNames.size() > MaximumFunctionCount) {
        CVLog(QStringLiteral("MUDJavascriptContextGroup: only %1 functions fit, dropping %2")
                  .arg(MaximumFunctionCount)
                  .arg(m_functionNames.size() - MaximumFunctionCount));
        m_functionNames = m_functionNames.mid(0, MaximumFunctionCount);
    }
    // JSClassCreate copies the names; they only need to outlive the call.
    std::vector<QByteArray> names;
    for (const QString& name : std::as_const(m_functionNames))
        names.push_back(name.toUtf8());
    std::vector<JSStaticFunction> functions;
    for (size_t i = 0; i < names.size(); ++i)
        functions.push_back({names[i].constData(), kCallbacks[i], kJSPropertyAttributeNone});
    functions.push_back({nullptr, nullptr, 0});

    JSClassDefinition definition = kJSClassDefinitionEmpty;
    definition.className = "QuarrowGlobal";
    definition.staticFunctions = functions.data();
    m_globalClass = JSClassCreate(&definition);
    m_group = JSContextGroupCreate();
}

MUDJavascriptContextGroup::~MUDJavascriptContextGroup()
{
    JSClassRelease(m_globalClass);
    JSContextGroupRelease(m_group);
}

void MUDJavascriptContextGroup::setTerminationCheck(double intervalSeconds, TerminationCheck check)
{
    m_terminationCheck = std::move(check);
    m_terminationInterval = intervalSeconds;
    JSContextGroupSetExecutionTimeLimit(m_group, intervalSeconds, &MUDJavascriptContextGroup::shouldTerminate, this);
}

bool MUDJavascriptContextGroup::shouldTerminate(const OpaqueJSContext* jsContext, void* group)
{
    auto* self = static_cast<MUDJavascriptContextGroup*>(group);
    auto* context = static_cast<MUDJavascriptContext*>(JSObjectGetPrivate(JSContextGetGlobalObject(jsContext)));
    if (context && self->m_terminationCheck && self->m_terminationCheck(context))
        return true;
    JSContextGroupSetExecutionTimeLimit(self->m_group, self->m_terminationInterval,
                                        &MUDJavascriptContextGroup::shouldTerminate, self);
    return false;
}
