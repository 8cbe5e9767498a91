#pragma once

#include <QString>

// What the port tester probes: a connection's identity, host and port.
// Plain value; any thread.
class CVFTPortTesterEntry {
public:
    CVFTPortTesterEntry() = default;
    CVFTPortTesterEntry(const QString& identifier, const QString& host, quint64 port)
        : m_identifier(identifier)
        , m_host(host)
        , m_port(port)
    {
    }

    QString identifier() const { return m_identifier; }
    QString host() const { return m_host; }
    quint64 port() const { return m_port; }

private:
    QString m_identifier;
    QString m_host;
    quint64 m_port = 0;
};
