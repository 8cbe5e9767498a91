#include "core/CVPortTester.h"

#include "core/CVSocket.h"

CVPortTester::CVPortTester(const QString& host, quint64 port, int timeoutMs)
    : m_host(host)
    , m_port(port)
    , m_timeoutMs(timeoutMs)
{
}

bool CVPortTester::testConnection(QString* resolvedAddress, CVError* error) const
{
    CVSocket socket;
    const bool connected = socket.connect(m_host, m_port, m_timeoutMs);
    if (resolvedAddress)
        *resolvedAddress = socket.peerAddress();
    if (!connected)
        CVSetError(error, socket.connectFailReasons().join(QStringLiteral("; ")));
    socket.close();
    return connected;
}
