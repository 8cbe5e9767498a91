#pragma once

#include <QStringList>
#include <memory>

class ANSIDataProcessorResults;
class MUDDocument;
class MUDSocket;
class MUDTelnetNegotiator;

// A session's telnet options: for each connection whose record has them
// on, a fresh MUDTelnetNegotiator with the options the client agrees to;
// for any other connection nothing at all, so not one telnet byte is sent.
// Also reads the prompt marks (IAC GA, IAC EOR) out of the decoded batches.
// Main thread (the negotiator itself runs on the socket loop thread).
class MUDSessionTelnet {
public:
    explicit MUDSessionTelnet(MUDDocument& document);
    ~MUDSessionTelnet();

    // A new connection on `socket`: its negotiator, or none when the
    // connection does not negotiate.
    std::shared_ptr<MUDTelnetNegotiator> startConnection(const std::shared_ptr<MUDSocket>& socket);
    bool isNegotiating() const { return m_negotiator != nullptr; }

    // Whether a batch holds a prompt mark; always false while not negotiating.
    bool endsPrompt(const ANSIDataProcessorResults& results) const;
    // What #telnet shows.
    QStringList stateLines() const;

private:
    MUDDocument& m_document;
    std::shared_ptr<MUDTelnetNegotiator> m_negotiator;
};
