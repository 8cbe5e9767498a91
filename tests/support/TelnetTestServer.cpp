#include "TelnetTestServer.h"

#include <QMutexLocker>

#include "TestSupport.h"
#include "engine/connection/MUDTelnet.h"

TelnetTestServer::TelnetTestServer(LoopbackServer& server)
    : m_server(server)
{
    m_server.setResponder([this](const QByteArray& received) { return respond(received); });
}

TelnetTestServer::~TelnetTestServer()
{
    m_server.setResponder({});
}

void TelnetTestServer::sendCommand(quint8 verb, quint8 option)
{
    send(MUDTelnet::command(verb, option));
}

void TelnetTestServer::sendSubnegotiation(quint8 option, QByteArrayView payload)
{
    send(MUDTelnet::subnegotiation(option, payload));
}

QList<QByteArray> TelnetTestServer::receivedCommands() const
{
    QList<QByteArray> commands;
    split(receivedBytes(), &commands, nullptr);
    return commands;
}

qsizetype TelnetTestServer::count(const QByteArray& command) const
{
    return receivedCommands().count(command);
}

QByteArray TelnetTestServer::receivedText() const
{
    QByteArray text;
    split(receivedBytes(), nullptr, &text);
    return text;
}

bool TelnetTestServer::waitForCommand(const QByteArray& command, int timeoutMs) const
{
    return waitUntil([&] { return count(command) > 0; }, timeoutMs);
}

QList<QByteArray> TelnetTestServer::subnegotiations(quint8 option) const
{
    QList<QByteArray> payloads;
    for (const QByteArray& command : receivedCommands()) {
        if (command.size() >= 5 && quint8(command[1]) == MUDTelnet::Sb && quint8(command[2]) == option)
            payloads.append(MUDTelnet::subnegotiationPayload(command));
    }
    return payloads;
}

void TelnetTestServer::answer(const QByteArray& trigger, const QByteArray& reply, int maxReplies)
{
    QMutexLocker lock(&m_rulesMutex);
    m_rules.append({trigger, reply, maxReplies});
}

QByteArray TelnetTestServer::respond(const QByteArray& received)
{
    QMutexLocker lock(&m_rulesMutex);
    QByteArray out;
    for (Rule& rule : m_rules) {
        const int seen = int(received.count(rule.trigger));
        for (; rule.replies < std::min(seen, rule.maxReplies); ++rule.replies)
            out += rule.reply;
    }
    return out;
}

void TelnetTestServer::split(QByteArrayView stream, QList<QByteArray>* commands, QByteArray* text)
{
    qsizetype i = 0;
    while (i < stream.size()) {
        if (quint8(stream[i]) != MUDTelnet::Iac || i + 1 >= stream.size()) {
            if (text)
                text->append(stream[i]);
            ++i;
            continue;
        }
        const quint8 verb = quint8(stream[i + 1]);
        qsizetype end = i + 2;
        if (verb == MUDTelnet::Iac) {
            if (text)
                text->append(stream[i]);
            i = end;
            continue;
        }
        if (verb >= MUDTelnet::Will && verb <= MUDTelnet::Dont) {
            end = std::min(i + 3, stream.size());
        } else if (verb == MUDTelnet::Sb) {
            // To IAC SE, stepping over IAC IAC.
            while (end < stream.size()) {
                if (quint8(stream[end]) == MUDTelnet::Iac && end + 1 < stream.size()) {
                    end += 2;
                    if (quint8(stream[end - 1]) == MUDTelnet::Se)
                        break;
                } else {
                    ++end;
                }
            }
        }
        if (commands)
            commands->append(stream.sliced(i, end - i).toByteArray());
        i = end;
    }
}
