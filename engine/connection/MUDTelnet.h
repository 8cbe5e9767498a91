#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// Telnet bytes (RFC 854) and the options this client negotiates, with the
// small helpers that build and read commands. Any thread.
namespace MUDTelnet {
constexpr quint8 Iac = 255;
constexpr quint8 Dont = 254;
constexpr quint8 Do = 253;
constexpr quint8 Wont = 252;
constexpr quint8 Will = 251;
constexpr quint8 Sb = 250;
constexpr quint8 Ga = 249;
constexpr quint8 Se = 240;
constexpr quint8 Eor = 239;

namespace Option {
constexpr quint8 Echo = 1;
constexpr quint8 SuppressGoAhead = 3;
constexpr quint8 TerminalType = 24;
constexpr quint8 EndOfRecord = 25;
constexpr quint8 WindowSize = 31;
constexpr quint8 NewEnvironment = 39;
constexpr quint8 Charset = 42;
constexpr quint8 Compress2 = 86;
constexpr quint8 Gmcp = 201;
}

// IAC <verb> <option>.
QByteArray command(quint8 verb, quint8 option);
// IAC SB <option> <payload with IAC doubled> IAC SE.
QByteArray subnegotiation(quint8 option, QByteArrayView payload);
// The payload of a whole IAC SB <option> ... IAC SE command with IAC IAC
// undone; empty for anything else.
QByteArray subnegotiationPayload(QByteArrayView command);
// A readable name for logs: "Window size", "Charset", ... or the number.
QString optionName(quint8 option);
QString verbName(quint8 verb);
}
