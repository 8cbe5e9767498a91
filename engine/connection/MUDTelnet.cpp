#include "engine/connection/MUDTelnet.h"

#include "engine/decoding/ANSIDataProcessor.h"

namespace MUDTelnet {

QByteArray command(quint8 verb, quint8 option)
{
    const char bytes[] = {char(Iac), char(verb), char(option)};
    return QByteArray(bytes, sizeof bytes);
}

QByteArray subnegotiation(quint8 option, QByteArrayView payload)
{
    QByteArray bytes;
    bytes.reserve(payload.size() + 5);
    bytes.append(char(Iac)).append(char(Sb)).append(char(option));
    for (const char c : payload) {
        bytes.append(c);
        if (quint8(c) == Iac)
            bytes.append(c);
    }
    bytes.append(char(Iac)).append(char(Se));
    return bytes;
}

QByteArray subnegotiationPayload(QByteArrayView command)
{
    if (command.size() < 5 || quint8(command[0]) != Iac || quint8(command[1]) != Sb ||
        quint8(command[command.size() - 2]) != Iac || quint8(command.back()) != Se)
        return {};
    const QByteArrayView body = command.sliced(3, command.size() - 5);
    QByteArray payload;
    payload.reserve(body.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        payload.append(body[i]);
        if (quint8(body[i]) == Iac && i + 1 < body.size() && quint8(body[i + 1]) == Iac)
            ++i;
    }
    return payload;
}

QString optionName(quint8 option)
{
    switch (option) {
    case Option::EndOfRecord: return QStringLiteral("End of record");
    case Option::NewEnvironment: return QStringLiteral("New environment");
    case Option::Charset: return QStringLiteral("Charset");
    case Option::Compress2: return QStringLiteral("Compression (MCCP2)");
    case Option::Gmcp: return QStringLiteral("GMCP");
    default: return ANSIDataProcessor::textForTelnetOption(option);
    }
}

QString verbName(quint8 verb)
{
    return ANSIDataProcessor::textForTelnetCommand(verb);
}
}
