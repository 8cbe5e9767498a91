#pragma once

#include <QJsonArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <memory>

#include "engine/connection/MUDProxyServerDelegate.h"
#include "engine/decoding/MUDStyledText.h"

class CVAttributedString;
class MUDDocument;
class MUDProxyInitialBuffer;
class MUDProxyServer;

// A session's slot for one proxy server: starts and stops it, mirrors the
// session's output and messages to its viewers and runs the lines viewers
// send as commands typed by the player, leaving what the player is typing
// alone. Without a server attached it sends nothing anywhere. Held by a std::shared_ptr, because the server reaches
// it through a weak reference from its threads. Main thread (the server
// makes every delegate call there); the session is reached only while it
// exists.
class MUDSessionProxyBridge : public MUDProxyServerDelegate,
                              public std::enable_shared_from_this<MUDSessionProxyBridge> {
public:
    explicit MUDSessionProxyBridge(MUDDocument* document);
    ~MUDSessionProxyBridge() override;

    // Attaches a new server and starts its port search; the port, or why
    // there is none, appears in the session's output. No-op while sharing.
    void startSharing();
    // Closes the attached server and its viewers and says so in the output.
    void stopSharing();
    // Closes the attached server without a word (the session is closing).
    void close();
    bool isSharing() const { return m_proxyServer != nullptr; }
    // The listening port, 0 while searching or not sharing.
    quint16 port() const;
    MUDProxyServer* proxyServer() const { return m_proxyServer.get(); }
    // Tests keep away from the ports other tests search.
    void setPortRange(quint16 firstPort, quint16 lastPort);

    // Hooks of the session's appends and messages.
    void forwardAppendedText(const CVAttributedString& text);
    void forwardServerText(const CVAttributedString& text);
    // Split into runs only while a viewer watches.
    void forwardServerText(const MUDStyledText& text);
    void forwardMessage(const QString& message);

    // One entry per run with the same style details: "fg", "bg" and
    // "flags" when the run's details carry them, and "text".
    static QJsonArray proxyEntriesFromAttributedString(const CVAttributedString& text);
    // The same entries for styled text, without splitting out its white space.
    static QJsonArray proxyEntriesFromStyledText(const MUDStyledText& text);
    // {"action": action, "entries": entries of `text`} as JSON text.
    static QString proxyDocument(const QString& action, const CVAttributedString& text);
    static QString proxyDocument(const QString& action, const QJsonArray& entries);

    void MUDProxyServerInitialBuffer(MUDProxyServer* server, InitialBufferReady ready) override;
    void MUDProxyServerViewerLeft(MUDProxyServer* server) override;
    void MUDProxyServerRequestsCommand(MUDProxyServer* server, const QString& command) override;
    void MUDProxyServerIsListening(MUDProxyServer* server, quint16 port) override;
    void MUDProxyServerFailedToListen(MUDProxyServer* server, const QString& message) override;

private:
    void forward(const QString& action, const CVAttributedString& text);
    void detach();

    QPointer<MUDDocument> m_document;
    std::shared_ptr<MUDProxyServer> m_proxyServer;
    // The output copied for joining viewers, while sharing.
    std::unique_ptr<MUDProxyInitialBuffer> m_initialBuffer;
    quint16 m_firstPort;
    quint16 m_lastPort;
};
