#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

#include "engine/connection/MUDTelnetTerminalType.h"

class ANSIDataProcessorResults;
class QFont;
class MUDDocument;
class MUDSocket;
class MUDTelnetNegotiator;
class MUDTelnetWindowSize;

// A session's telnet options: for each connection whose record has them
// on, a fresh MUDTelnetNegotiator with the options the client agrees to
// (window size, terminal type, charset, end of record, suppress go ahead);
// for any other connection nothing at all, so not one telnet byte is sent.
// Keeps the output's size in characters for the window size option (sent
// once the resizing has paused for WindowSizeDelay) and what the terminal
// type reports, and reads the prompt marks (IAC GA, IAC EOR) out of the
// decoded batches. Main thread (the negotiator itself runs on the socket
// loop thread).
class MUDSessionTelnet {
public:
    static constexpr double WindowSizeDelay = 0.25;

    explicit MUDSessionTelnet(MUDDocument& document);
    ~MUDSessionTelnet();

    // A new connection on `socket`: its negotiator, or none when the
    // connection does not negotiate.
    std::shared_ptr<MUDTelnetNegotiator> startConnection(const std::shared_ptr<MUDSocket>& socket);
    bool isNegotiating() const { return m_negotiator != nullptr; }

    // The output view's size in characters; the server hears of it after a pause.
    void setWindowSize(int columns, int rows);
    // How many characters of `font` fit in `pixels`, columns by rows.
    static QSize charactersThatFit(QSizeF pixels, const QFont& font);
    // Speech, viewers or the connection's security changed.
    void refreshCapabilities();
    MUDTelnetTerminalType::Capabilities capabilities() const;

    // Whether a batch holds a prompt mark; always false while not negotiating.
    bool endsPrompt(const ANSIDataProcessorResults& results) const;
    // The server agreed to send text in `charset` (CHARSET).
    void charsetAgreed(const QString& charset);
    // What #telnet shows.
    QStringList stateLines() const;

private:
    void sendWindowSize();
    template<typename Handler> Handler* handler(quint8 option) const;

    MUDDocument& m_document;
    std::shared_ptr<MUDTelnetNegotiator> m_negotiator;
    int m_columns = 80;
    int m_rows = 24;
    // The server agreed to UTF-8 on this connection, whatever its encoding.
    bool m_utf8Agreed = false;
    // Receiver of the settings' and the session's signals; goes first.
    QObject m_signals;
};
