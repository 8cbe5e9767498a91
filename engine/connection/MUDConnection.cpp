#include "engine/connection/MUDConnection.h"

#include <QCollator>
#include <QJsonValue>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/CVLogHelper.h"
#include "engine/decoding/MUDTextEncoding.h"

namespace {
const QString kConnectionId = QStringLiteral("connectionId");
const QString kHost = QStringLiteral("host");
const QString kPort = QStringLiteral("port");
const QString kUser = QStringLiteral("user");
const QString kPassword = QStringLiteral("password");
const QString kAutomaticallyReconnect = QStringLiteral("automaticallyReconnect");
const QString kLoginScript = QStringLiteral("loginScript");
const QString kSecure = QStringLiteral("secure");
const QString kPasswordInKeyring = QStringLiteral("passwordInKeyring");
const QString kTelnetOptions = QStringLiteral("telnetOptions");
const QString kEncoding = QStringLiteral("encoding");

QStringList defaultIgnoreKeywords()
{
    QStringList words{"slightly", "killed", "perfect", "bruised", "missed", "HP", "target", "you", "the", "a"};
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(words.begin(), words.end(), collator);
    return words;
}

void logWrongType(const QString& key, const QString& title)
{
    CVLog(QStringLiteral("MUDConnection - ignoring \"%1\" of \"%2\": the value has the wrong type").arg(key, title));
}

// A stored string as it is; "" stays "" (not none) so a saved and loaded record
// reads back the same. A value of another type would break every user of the
// field, so it is left at none with a log line.
QString stringValue(const QJsonObject& dictionary, const QString& key, const QString& title)
{
    const QJsonValue value = dictionary.value(key);
    if (value.isUndefined())
        return {};
    if (!value.isString()) {
        logWrongType(key, title);
        return {};
    }
    const QString text = value.toString();
    return text.isNull() ? QStringLiteral("") : text;
}

quint64 portValue(const QJsonObject& dictionary, const QString& title)
{
    const QJsonValue value = dictionary.value(kPort);
    if (value.isUndefined())
        return 0;
    const double number = value.toDouble(-1);
    if (!value.isDouble() || !std::isfinite(number) || number < 0 || number >= 9.2e18) {
        logWrongType(kPort, title);
        return 0;
    }
    // A fractional number is cut to its integer part.
    return static_cast<quint64>(value.toInteger(static_cast<qint64>(number)));
}

bool boolValue(const QJsonObject& dictionary, const QString& key, const QString& title)
{
    const QJsonValue value = dictionary.value(key);
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0;
    if (!value.isUndefined())
        logWrongType(key, title);
    return false;
}
}

MUDConnection::MUDConnection()
{
    m_fields.ignoreKeywords = defaultIgnoreKeywords();
}

MUDConnection::MUDConnection(const MUDConnection& other)
    : CVCopyingObject(other)
    , m_fields(other.m_fields)
{
}

MUDConnection& MUDConnection::operator=(const MUDConnection& other)
{
    m_fields = other.m_fields;
    return *this;
}

std::shared_ptr<MUDConnection> MUDConnection::connectionFromDictionaryRepresentation(const QJsonObject& dictionary,
                                                                                     const QString& title)
{
    auto connection = std::make_shared<MUDConnection>();
    Fields& fields = connection->m_fields;
    fields.title = title;
    fields.connectionId = stringValue(dictionary, kConnectionId, title);
    fields.host = stringValue(dictionary, kHost, title);
    fields.port = portValue(dictionary, title);
    fields.user = stringValue(dictionary, kUser, title);
    fields.password = stringValue(dictionary, kPassword, title);
    fields.automaticallyReconnect = boolValue(dictionary, kAutomaticallyReconnect, title);
    fields.loginScript = stringValue(dictionary, kLoginScript, title);
    fields.secure = boolValue(dictionary, kSecure, title);
    fields.passwordInKeyring = boolValue(dictionary, kPasswordInKeyring, title);
    fields.telnetOptions = boolValue(dictionary, kTelnetOptions, title);
    if (const QString encoding = stringValue(dictionary, kEncoding, title); !encoding.isEmpty())
        fields.textEncoding = encoding;
    return connection;
}

QJsonObject MUDConnection::dictionaryRepresentation() const
{
    const quint64 port = m_fields.port;
    const QJsonValue portValue = port <= quint64(std::numeric_limits<qint64>::max())
                                     ? QJsonValue(static_cast<qint64>(port))
                                     : QJsonValue(static_cast<double>(port));
    QJsonObject dictionary{
        {kConnectionId, QJsonValue(m_fields.connectionId)},
        {kHost, QJsonValue(m_fields.host)},
        {kPort, portValue},
        {kUser, QJsonValue(m_fields.user)},
        {kPassword, QJsonValue(m_fields.passwordInKeyring ? QStringLiteral("") : m_fields.password)},
        {kAutomaticallyReconnect, QJsonValue(m_fields.automaticallyReconnect)},
        {kLoginScript, QJsonValue(m_fields.loginScript)},
    };
    if (m_fields.secure)
        dictionary.insert(kSecure, 1);
    if (m_fields.telnetOptions)
        dictionary.insert(kTelnetOptions, 1);
    if (m_fields.passwordInKeyring)
        dictionary.insert(kPasswordInKeyring, true);
    if (m_fields.textEncoding.compare(MUDTextEncoding::UTF8, Qt::CaseInsensitive) != 0)
        dictionary.insert(kEncoding, m_fields.textEncoding);
    return dictionary;
}

void MUDConnection::setIgnoreKeywords(const QStringList& value)
{
    m_fields.ignoreKeywords = value;
    m_fields.ignoreKeywords.removeDuplicates();
}
