#include "engine/automation/javascript/MUDJavascriptContext.h"

#include <JavaScriptCore/JavaScript.h>

#include "engine/automation/javascript/MUDJavascriptContextGroup.h"
#include "engine/automation/javascript/MUDJavascriptValue.h"

namespace {

void setGlobalProperty(JSGlobalContextRef context, const QString& name, JSValueRef value)
{
    JSStringRef jsName = MUDJavascriptValue::createString(name);
    JSObjectSetProperty(context, JSContextGetGlobalObject(context), jsName, value, kJSPropertyAttributeDontDelete,
                        nullptr);
    JSStringRelease(jsName);
}

JSValueRef globalProperty(JSGlobalContextRef context, const QString& name)
{
    JSStringRef jsName = MUDJavascriptValue::createString(name);
    JSValueRef value = JSObjectGetProperty(context, JSContextGetGlobalObject(context), jsName, nullptr);
    JSStringRelease(jsName);
    return value;
}

}

MUDJavascriptContext::MUDJavascriptContext(MUDJavascriptContextGroup& group)
    : m_group(group)
{
    m_context = JSGlobalContextCreateInGroup(group.m_group, group.m_globalClass);
    JSObjectSetPrivate(JSContextGetGlobalObject(m_context), this);
}

MUDJavascriptContext::~MUDJavascriptContext()
{
    JSObjectSetPrivate(JSContextGetGlobalObject(m_context), nullptr);
    JSGlobalContextRelease(m_context);
}

void MUDJavascriptContext::defineGlobalObject(const QString& name)
{
    setGlobalProperty(m_context, name, JSObjectMake(m_context, nullptr, nullptr));
}

void MUDJavascriptContext::defineGlobalSelfReference(const QString& name)
{
    setGlobalProperty(m_context, name, JSContextGetGlobalObject(m_context));
}

bool MUDJavascriptContext::aliasFunction(const QString& object, const QString& property,
                                         const QString& functionName)
{
    JSValueRef target = globalProperty(m_context, object);
    if (!JSValueIsObject(m_context, target))
        return false;
    JSValueRef function = globalProperty(m_context, functionName);
    JSStringRef jsProperty = MUDJavascriptValue::createString(property);
    JSObjectSetProperty(m_context, JSValueToObject(m_context, target, nullptr), jsProperty, function,
                        kJSPropertyAttributeNone, nullptr);
    JSStringRelease(jsProperty);
    return true;
}

bool MUDJavascriptContext::evaluate(const QString& script, QVariant* result, QString* exception)
{
    JSStringRef source = MUDJavascriptValue::createString(script);
    JSValueRef thrown = nullptr;
    JSValueRef value = JSEvaluateScript(m_context, source, nullptr, nullptr, 1, &thrown);
    JSStringRelease(source);
    if (thrown) {
        if (exception)
            *exception = MUDJavascriptValue::toText(m_context, thrown);
        return false;
    }
    if (result)
        *result = MUDJavascriptValue::toVariant(m_context, value);
    return true;
}

bool MUDJavascriptContext::checkSyntax(const QString& script, QString* error) const
{
    JSStringRef source = MUDJavascriptValue::createString(script);
    JSValueRef thrown = nullptr;
    const bool valid = JSCheckScriptSyntax(m_context, source, nullptr, 1, &thrown);
    if (!valid && error && thrown)
        *error = MUDJavascriptValue::toText(m_context, thrown);
    JSStringRelease(source);
    return valid;
}

QVariant MUDJavascriptContext::call(int index, const MUDJavascriptArguments& arguments)
{
    return m_handler ? m_handler(index, arguments) : QVariant();
}
