#include "engine/automation/javascript/MUDJavascriptValue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

QString MUDJavascriptValue::toQString(JSStringRef string)
{
    if (!string)
        return {};
    return QString(reinterpret_cast<const QChar*>(JSStringGetCharactersPtr(string)),
                   static_cast<qsizetype>(JSStringGetLength(string)));
}

JSStringRef MUDJavascriptValue::createString(const QString& text)
{
    return JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(text.utf16()),
                                        static_cast<size_t>(text.size()));
}

QString MUDJavascriptValue::toText(JSContextRef ctx, JSValueRef value)
{
    JSStringRef string = JSValueToStringCopy(ctx, value, nullptr);
    QString text = toQString(string);
    if (string)
        JSStringRelease(string);
    return text;
}

QVariant MUDJavascriptValue::toVariant(JSContextRef ctx, JSValueRef value)
{
    switch (JSValueGetType(ctx, value)) {
    case kJSTypeUndefined:
    case kJSTypeNull: return {};
    case kJSTypeBoolean: return JSValueToBoolean(ctx, value);
    case kJSTypeNumber: return JSValueToNumber(ctx, value, nullptr);
    case kJSTypeString: return toText(ctx, value);
    default: break;
    }
    // Arrays and plain objects travel as JSON; anything JSON cannot carry
    // (functions, cycles) falls back to its text form.
    if (JSStringRef json = JSValueCreateJSONString(ctx, value, 0, nullptr)) {
        const QByteArray bytes = toQString(json).toUtf8();
        JSStringRelease(json);
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        if (!document.isNull())
            return document.toVariant();
    }
    return toText(ctx, value);
}

namespace {

JSValueRef fromJSONDocument(JSContextRef ctx, const QJsonDocument& document)
{
    JSStringRef json = MUDJavascriptValue::createString(QString::fromUtf8(document.toJson(QJsonDocument::Compact)));
    JSValueRef result = JSValueMakeFromJSONString(ctx, json);
    JSStringRelease(json);
    return result ? result : JSValueMakeUndefined(ctx);
}

// Unlike a plain value, a JSON value keeps null apart from undefined.
JSValueRef fromJSONValue(JSContextRef ctx, const QJsonValue& value)
{
    if (value.isObject())
        return fromJSONDocument(ctx, QJsonDocument(value.toObject()));
    if (value.isArray())
        return fromJSONDocument(ctx, QJsonDocument(value.toArray()));
    if (value.isNull())
        return JSValueMakeNull(ctx);
    return MUDJavascriptValue::fromVariant(ctx, value.toVariant());
}

}

JSValueRef MUDJavascriptValue::fromVariant(JSContextRef ctx, const QVariant& value)
{
    if (value.typeId() == QMetaType::QJsonValue)
        return fromJSONValue(ctx, value.toJsonValue());
    if (!value.isValid() || value.isNull())
        return JSValueMakeUndefined(ctx);
    switch (value.typeId()) {
    case QMetaType::Bool: return JSValueMakeBoolean(ctx, value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: return JSValueMakeNumber(ctx, value.toDouble());
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
    case QMetaType::QVariantMap: return fromJSONDocument(ctx, QJsonDocument::fromVariant(value));
    default: break;
    }
    JSStringRef string = createString(value.toString());
    JSValueRef result = JSValueMakeString(ctx, string);
    JSStringRelease(string);
    return result;
}
