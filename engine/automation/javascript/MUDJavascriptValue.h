#pragma once

#include <JavaScriptCore/JavaScript.h>
#include <QString>
#include <QVariant>

// Conversions between JavaScriptCore values and Qt values; used only inside
// the JavaScriptCore wrapper. Any thread holding the context.
class MUDJavascriptValue {
public:
    static QString toQString(JSStringRef string);
    // The caller releases the result.
    static JSStringRef createString(const QString& text);
    static QString toText(JSContextRef ctx, JSValueRef value);
    static QVariant toVariant(JSContextRef ctx, JSValueRef value);
    static JSValueRef fromVariant(JSContextRef ctx, const QVariant& value);
};
