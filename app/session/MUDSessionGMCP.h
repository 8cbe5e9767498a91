#pragma once

#include <QJsonValue>
#include <QString>
#include <memory>

class MUDDocument;
class MUDGMCPOptionHandler;
class MUDTelnetNegotiator;
struct MUDGMCPMessage;

// A session's GMCP: every message the server sends is kept for getGMCP and
// fires the GMCP package triggers; what scripts send goes to the current
// connection. What was kept starts empty on every connection. Main thread.
class MUDSessionGMCP {
public:
    explicit MUDSessionGMCP(MUDDocument& document);

    // A new connection: forgets what the last one sent and, when it
    // negotiates telnet options, gives its negotiator a GMCP handler.
    void startConnection(const std::shared_ptr<MUDTelnetNegotiator>& negotiator);
    void messageReceived(const MUDGMCPMessage& message);
    // sendGMCP from a script; see MUDGMCPOptionHandler::send.
    bool send(const QString& package, const QJsonValue& value);
    // For #telnet: the packages the server sent on this connection.
    QString packagesLine() const;

private:
    MUDDocument& m_document;
    // The current connection's; the handler lives as long as its negotiator.
    std::weak_ptr<MUDTelnetNegotiator> m_negotiator;
    MUDGMCPOptionHandler* m_handler = nullptr;
};
