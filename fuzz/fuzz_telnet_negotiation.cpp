// Feeds a server's byte stream through the decoder into a telnet option
// negotiator with the client's options, in reads whose sizes come from the
// input. The client's answers must not depend on where reads end, must be
// whole telnet commands, must stay in proportion to the server's commands
// (no loop can grow from them), and once the stream is over a request for
// the state an option already has must get no answer at all.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/connection/MUDTelnetCharset.h"
#include "engine/connection/MUDTelnetNegotiator.h"
#include "engine/connection/MUDTelnetTerminalType.h"
#include "engine/connection/MUDTelnetWindowSize.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

namespace {
using namespace MUDTelnet;

class Client : public ANSIDataProcessorDelegate {
public:
    Client()
        : m_negotiator([this](const QByteArray& bytes) { sent += bytes; })
    {
        m_negotiator.addHandler(std::make_unique<MUDTelnetWindowSize>(80, 24));
        m_negotiator.addHandler(std::make_unique<MUDTelnetTerminalType>(MUDTelnetTerminalType::Capabilities{}));
        m_negotiator.addHandler(std::make_unique<MUDTelnetCharset>(nullptr));
        m_negotiator.addHandler(std::make_unique<MUDTelnetOptionHandler>(Option::SuppressGoAhead, true, false));
        m_negotiator.addHandler(std::make_unique<MUDTelnetOptionHandler>(Option::EndOfRecord, false, true));
    }

    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults&) override { }
    bool ANSIDataProcessorTelnetCommand(ANSIDataProcessor*, QByteArrayView command) override
    {
        ++commands;
        m_negotiator.receivedCommand(command);
        return true;
    }

    MUDTelnetNegotiator& negotiator() { return m_negotiator; }

    QByteArray sent;
    qsizetype commands = 0;

private:
    MUDTelnetNegotiator m_negotiator;
};

void decode(Client& client, const QByteArray& stream, qsizetype chunk)
{
    ANSIDataProcessor processor(&client);
    for (qsizetype offset = 0; offset < stream.size(); offset += chunk)
        processor.processData(QByteArrayView(stream).sliced(offset, std::min(chunk, stream.size() - offset)));
}

// The number of whole commands in `sent`; aborts on anything else.
qsizetype countCommands(const QByteArray& sent)
{
    qsizetype count = 0;
    qsizetype i = 0;
    while (i < sent.size()) {
        if (quint8(sent[i]) != Iac || i + 1 >= sent.size())
            abort();
        const quint8 verb = quint8(sent[i + 1]);
        if (verb >= Will && verb <= Dont) {
            if (i + 3 > sent.size())
                abort();
            i += 3;
        } else if (verb == Sb) {
            qsizetype end = i + 3;
            while (end + 1 < sent.size() && !(quint8(sent[end]) == Iac && quint8(sent[end + 1]) == Se))
                end += quint8(sent[end]) == Iac ? 2 : 1;
            if (end + 1 >= sent.size())
                abort();
            i = end + 2;
        } else {
            abort();
        }
        ++count;
    }
    return count;
}

// Asking for what is already so must be met with silence.
void checkSettled(Client& client)
{
    MUDTelnetNegotiator& negotiator = client.negotiator();
    client.sent.clear();
    for (int option = 0; option < 256; ++option) {
        const quint8 o = quint8(option);
        const bool clientOn = negotiator.isEnabled(o, MUDTelnetSide::Client);
        const bool serverOn = negotiator.isEnabled(o, MUDTelnetSide::Server);
        negotiator.receivedCommand(command(clientOn ? Do : Dont, o));
        negotiator.receivedCommand(command(serverOn ? Will : Wont, o));
        if (!client.sent.isEmpty())
            abort();
    }
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setUpFuzzing();
    if (size == 0)
        return 0;
    const qsizetype chunk = 1 + data[0] % 23;
    const QByteArray stream(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));

    Client whole;
    decode(whole, stream, qMax<qsizetype>(1, stream.size()));
    Client pieces;
    decode(pieces, stream, chunk);
    if (whole.sent != pieces.sent || whole.commands != pieces.commands)
        abort();
    // At most an answer and one subnegotiation (window size, terminal
    // type, charset) for each command the server sent.
    if (countCommands(whole.sent) > 2 * whole.commands)
        abort();
    checkSettled(whole);
    return 0;
}
