#pragma once

#include <QJsonValue>
#include <QString>
#include <functional>

#include "engine/automation/MUDGMCPSupports.h"
#include "engine/connection/MUDTelnetOptionHandler.h"

struct MUDGMCPMessage;

// GMCP (option 201) on one connection: agreed when the server offers it
// (WILL, answered DO); then the client greets with Core.Hello and asks for
// its packages with Core.Supports.Set. Each message the server sends is
// parsed here and handed to the session's thread, in order with the text;
// a message that does not parse is logged and dropped. Scripts' messages go
// out through send().
//
// Threads: the negotiator's calls come on the socket loop thread, send()
// from any thread; all run under the negotiator's lock, which also guards
// the supports list and the counts.
class MUDGMCPOptionHandler : public MUDTelnetOptionHandler {
public:
    // Called on the session's thread, only while the connection is current.
    using MessageSink = std::function<void(const MUDGMCPMessage&)>;

    MUDGMCPOptionHandler(QString clientVersion, MessageSink sink);

    void enabled(MUDTelnetSide side) override;
    void subnegotiation(QByteArrayView payload) override;
    QString detail() const override;

    // A script's message: sent while GMCP is on. A Core.Supports message
    // also changes the list that Core.Supports.Set sends, so one sent
    // before GMCP is agreed still counts. False when nothing went out and
    // nothing was kept.
    bool send(const QString& package, const QJsonValue& value);

private:
    const QString m_clientVersion;
    const MessageSink m_sink;
    MUDGMCPSupports m_supports;
    qint64 m_received = 0;
    qint64 m_dropped = 0;
};
