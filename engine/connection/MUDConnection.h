#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "core/CVCopyingObject.h"
#include "engine/automation/MUDScriptLists.h"

// The record of one saved game server. Its identity is `connectionId`, never
// the title. Plain record: not synchronised; the main thread owns it, and
// records handed to other threads are shared read-only (editors change a
// working copy, `modifiedInstance`, instead of the record itself).
class MUDConnection : public CVCopyingObject {
public:
    MUDConnection();
    // A copy carries every property except `modifiedInstance`, so copies
    // never chain.
    MUDConnection(const MUDConnection& other);
    MUDConnection& operator=(const MUDConnection& other);

    // A new record titled `title`, read from the stored dictionary form.
    // Never fails: a missing or unusable value leaves its field at the default.
    static std::shared_ptr<MUDConnection> connectionFromDictionaryRepresentation(const QJsonObject& dictionary,
                                                                                 const QString& title);
    // The stored form: the seven keys of connection.json, plus "secure": 1 for
    // a TLS connection only, "telnetOptions": 1 only when the client
    // negotiates telnet options, "encoding" with the IANA name of a text
    // encoding only when it is not UTF-8, and "passwordInKeyring": true only
    // when the password lives in the system keyring (its "password" is then
    // ""), so a plain connection's file stays as it was; the title is the
    // folder name and is not part of it.
    QJsonObject dictionaryRepresentation() const;

    QStringList propertiesToSkipForCopy() const override { return {QStringLiteral("modifiedInstance")}; }
    // A working copy for an editor (see the copy constructor).
    std::shared_ptr<MUDConnection> copy() const { return std::make_shared<MUDConnection>(*this); }

    bool automaticallyReconnect() const { return m_fields.automaticallyReconnect; }
    void setAutomaticallyReconnect(bool value) { m_fields.automaticallyReconnect = value; }
    // The connection speaks TLS to the server.
    bool isSecure() const { return m_fields.secure; }
    void setSecure(bool value) { m_fields.secure = value; }
    // The client answers the server's telnet option requests (window size,
    // terminal type, ...); off, it never sends a telnet command.
    bool negotiatesTelnetOptions() const { return m_fields.telnetOptions; }
    void setNegotiatesTelnetOptions(bool value) { m_fields.telnetOptions = value; }
    std::shared_ptr<MUDConnection> modifiedInstance() const { return m_modifiedInstance; }
    void setModifiedInstance(std::shared_ptr<MUDConnection> value) { m_modifiedInstance = std::move(value); }
    // String fields are null ("none") until set; a loaded record has "" instead.
    QString connectionId() const { return m_fields.connectionId; }
    void setConnectionId(const QString& value) { m_fields.connectionId = value; }
    QString title() const { return m_fields.title; }
    void setTitle(const QString& value) { m_fields.title = value; }
    QString host() const { return m_fields.host; }
    void setHost(const QString& value) { m_fields.host = value; }
    quint64 port() const { return m_fields.port; }
    void setPort(quint64 value) { m_fields.port = value; }
    QString user() const { return m_fields.user; }
    void setUser(const QString& value) { m_fields.user = value; }
    QString password() const { return m_fields.password; }
    void setPassword(const QString& value) { m_fields.password = value; }
    // The password lives in the system keyring (MUDKeyring), not in the
    // file; `password` holds it only once fetched.
    bool passwordInKeyring() const { return m_fields.passwordInKeyring; }
    void setPasswordInKeyring(bool value) { m_fields.passwordInKeyring = value; }
    // The IANA name of the encoding of the server's text and of what is
    // sent to it (MUDTextEncoding); "UTF-8" unless chosen.
    QString textEncoding() const { return m_fields.textEncoding; }
    void setTextEncoding(const QString& value) { m_fields.textEncoding = value; }
    QString loginScript() const { return m_fields.loginScript; }
    void setLoginScript(const QString& value) { m_fields.loginScript = value; }
    // An ordered set: duplicates are dropped on set, order is kept.
    QStringList ignoreKeywords() const { return m_fields.ignoreKeywords; }
    void setIgnoreKeywords(const QStringList& value);

    // The connection's triggers and aliases as storage last loaded them
    // (MUDConnectionLists); none until then. Neither is stored in the
    // dictionary form nor copied.
    const std::optional<MUDTriggerList>& loadedTriggers() const { return m_triggers; }
    void setLoadedTriggers(std::optional<MUDTriggerList> triggers) { m_triggers = std::move(triggers); }
    const std::optional<MUDAliasList>& loadedAliases() const { return m_aliases; }
    void setLoadedAliases(std::optional<MUDAliasList> aliases) { m_aliases = std::move(aliases); }

private:
    // Everything a copy carries, in declared order.
    struct Fields {
        bool automaticallyReconnect = false;
        QString connectionId;
        QString title;
        QString host;
        quint64 port = 0;
        QString user;
        QString password;
        bool passwordInKeyring = false;
        QString loginScript;
        QStringList ignoreKeywords;
        bool secure = false;
        bool telnetOptions = false;
        QString textEncoding = QStringLiteral("UTF-8");
    };

    Fields m_fields;
    std::shared_ptr<MUDConnection> m_modifiedInstance;
    std::optional<MUDTriggerList> m_triggers;
    std::optional<MUDAliasList> m_aliases;
};
