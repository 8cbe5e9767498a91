#include "engine/automation/javascript/MUDJavascriptContext.h"

#include <vector>

#include <JavaScriptCore/JavaScript.h>

#include "engine/automation/javascript/MUDJavascriptContextGroup.h"
#include "engine/automation/javascript/MUDJavascriptValue.h"

namespace {

// Bodies with parameters written in bare form differ at every match, so the
// memory starts again when it is full rather than growing.
constexpr qsizetype kMaximumFunctions = 128;

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

QVariant MUDJavascriptArguments::value(qsizetype index) const
{
    return index >= 0 && index < m_count ? MUDJavascriptValue::toVariant(m_context, m_arguments[index]) : QVariant();
}

QString MUDJavascriptArguments::text(qsizetype index) const
{
    return index >= 0 && index < m_count ? MUDJavascriptValue::toText(m_context, m_arguments[index]) : QString();
}

QStringList MUDJavascriptArguments::texts() const
{
    QStringList all;
    for (qsizetype i = 0; i < m_count; ++i)
        all.append(text(i));
    return all;
}

MUDJavascriptContext::MUDJavascriptContext(MUDJavascriptContextGroup& group)
    : m_group(group)
{
    m_context = JSGlobalContextCreateInGroup(group.m_group, group.m_globalClass);
    JSObjectSetPrivate(JSContextGetGlobalObject(m_context), this);
}

MUDJavascriptContext::~MUDJavascriptContext()
{
    forgetSavedGlobals();
    forgetFunctions();
    if (m_globalsKeeper)
        JSValueUnprotect(m_context, m_globalsKeeper);
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

bool MUDJavascriptContext::aliasFunction(const QString& object, const QString& property, const QString& functionName)
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

bool MUDJavascriptContext::callFunctionBody(const QString& body, QVariant* result, QString* exception)
{
    JSValueRef thrown = nullptr;
    auto found = m_functions.constFind(body);
    const OpaqueJSValue* function = found != m_functions.cend() ? *found : nullptr;
    if (!function) {
        JSStringRef source = MUDJavascriptValue::createString(body);
        function = JSObjectMakeFunction(m_context, nullptr, 0, nullptr, source, nullptr, 1, &thrown);
        JSStringRelease(source);
        if (function && !thrown) {
            if (m_functions.size() >= kMaximumFunctions)
                forgetFunctions();
            JSValueProtect(m_context, function);
            m_functions.insert(body, function);
        }
    }
    JSValueRef value = nullptr;
    if (function && !thrown)
        value = JSObjectCallAsFunction(m_context, const_cast<JSObjectRef>(function), nullptr, 0, nullptr, &thrown);
    if (thrown) {
        if (exception)
            *exception = MUDJavascriptValue::toText(m_context, thrown);
        return false;
    }
    if (result)
        *result = MUDJavascriptValue::toVariant(m_context, value);
    return true;
}

void MUDJavascriptContext::forgetFunctions()
{
    for (const OpaqueJSValue* function : std::as_const(m_functions))
        JSValueUnprotect(m_context, function);
    m_functions.clear();
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

bool MUDJavascriptContext::isFunctionBody(const QString& body)
{
    JSStringRef source = MUDJavascriptValue::createString(body);
    JSValueRef thrown = nullptr;
    JSObjectRef function = JSObjectMakeFunction(m_context, nullptr, 0, nullptr, source, nullptr, 1, &thrown);
    JSStringRelease(source);
    return function && !thrown;
}

// The keeper reads and writes the global object through functions taken
// before any script ran, so nothing a script replaced is used to undo it.
const OpaqueJSValue* MUDJavascriptContext::globalsKeeper()
{
    if (m_globalsKeeper)
        return m_globalsKeeper;
    static const QString source = QStringLiteral(
        "(function (global, describe, define, remove) {\n"
        "    'use strict';\n"
        "    return function (names, saved) {\n"
        "        var i;\n"
        "        if (saved === undefined) {\n"
        "            saved = [];\n"
        "            for (i = 0; i < names.length; ++i)\n"
        "                saved[i] = describe(global, names[i]);\n"
        "            return saved;\n"
        "        }\n"
        "        var intact = true;\n"
        "        for (i = 0; i < names.length; ++i) {\n"
        "            if (!(saved[i] === undefined ? remove(global, names[i]) : define(global, names[i], saved[i])))\n"
        "                intact = false;\n"
        "        }\n"
        "        return intact;\n"
        "    };\n"
        "})(this, Reflect.getOwnPropertyDescriptor, Reflect.defineProperty, Reflect.deleteProperty)");
    JSStringRef script = MUDJavascriptValue::createString(source);
    JSValueRef keeper = JSEvaluateScript(m_context, script, nullptr, nullptr, 1, nullptr);
    JSStringRelease(script);
    if (!keeper || !JSValueIsObject(m_context, keeper))
        return nullptr;
    JSValueProtect(m_context, keeper);
    m_globalsKeeper = keeper;
    return m_globalsKeeper;
}

bool MUDJavascriptContext::saveGlobals(const QStringList& names)
{
    forgetSavedGlobals();
    if (names.isEmpty())
        return true;
    const OpaqueJSValue* keeper = globalsKeeper();
    if (!keeper)
        return false;
    std::vector<JSValueRef> nameValues;
    nameValues.reserve(size_t(names.size()));
    for (const QString& name : names) {
        JSStringRef string = MUDJavascriptValue::createString(name);
        nameValues.push_back(JSValueMakeString(m_context, string));
        JSStringRelease(string);
    }
    JSObjectRef nameArray = JSObjectMakeArray(m_context, nameValues.size(), nameValues.data(), nullptr);
    if (!nameArray)
        return false;
    JSValueRef thrown = nullptr;
    JSValueRef arguments[] = {nameArray};
    JSValueRef saved =
        JSObjectCallAsFunction(m_context, const_cast<JSObjectRef>(keeper), nullptr, 1, arguments, &thrown);
    if (!saved || thrown)
        return false;
    JSValueProtect(m_context, nameArray);
    JSValueProtect(m_context, saved);
    m_savedNames = nameArray;
    m_savedGlobals = saved;
    return true;
}

bool MUDJavascriptContext::restoreGlobals()
{
    if (!m_savedNames)
        return true;
    JSValueRef thrown = nullptr;
    JSValueRef arguments[] = {m_savedNames, m_savedGlobals};
    JSValueRef intact =
        JSObjectCallAsFunction(m_context, const_cast<JSObjectRef>(m_globalsKeeper), nullptr, 2, arguments, &thrown);
    forgetSavedGlobals();
    return intact && !thrown && JSValueToBoolean(m_context, intact);
}

void MUDJavascriptContext::forgetSavedGlobals()
{
    if (m_savedNames)
        JSValueUnprotect(m_context, m_savedNames);
    if (m_savedGlobals)
        JSValueUnprotect(m_context, m_savedGlobals);
    m_savedNames = nullptr;
    m_savedGlobals = nullptr;
}

QVariant MUDJavascriptContext::call(int index, const MUDJavascriptArguments& arguments)
{
    return m_handler ? m_handler(index, arguments) : QVariant();
}
