#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>

// One GMCP message (IAC SB 201 <Package.Message> [<JSON>] IAC SE): the
// package name as the server spelled it, the JSON text and its value.
// Parsing never fails loudly: a payload over the size cap, without a
// package name or with bad JSON is logged and gives nothing, since a
// server's mistake must not cost the session. A plain value; any thread.
struct MUDGMCPMessage {
    // Bigger payloads are dropped: no game sends one, and a script would
    // choke on it.
    static constexpr qsizetype MaximumPayloadBytes = 1024 * 1024;
    // What Core.Hello names this client.
    static constexpr const char* ClientName = "Quarrow";

    QString package;
    // As sent, trimmed; empty when the message carries no JSON.
    QString json;
    // Undefined when the message carries no JSON.
    QJsonValue value = QJsonValue(QJsonValue::Undefined);

    // `payload` is what lies between IAC SB 201 and IAC SE; a doubled IAC
    // still in it is undone.
    static std::optional<MUDGMCPMessage> parse(QByteArrayView payload);

    // The payload of a message to send: the package, then a space and the
    // compact JSON of `value` unless it is undefined. IAC is not doubled here.
    static QByteArray payload(const QString& package, const QJsonValue& value = QJsonValue(QJsonValue::Undefined));
    static QByteArray helloPayload(const QString& version);
    static QByteArray supportsSetPayload(const QStringList& packages);

    // Printable ASCII without spaces ("Char.Vitals").
    static bool isPackageName(QStringView name);
    // Compact JSON of any value, scalars included; empty for undefined.
    static QByteArray jsonText(const QJsonValue& value);
    // Package names are compared without regard to case.
    static QString packageKey(QStringView package) { return package.toString().toCaseFolded(); }
};
