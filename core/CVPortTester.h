#pragma once

#include <QString>

#include "core/CVError.h"

// Probes whether a TCP server answers: resolves the host and opens (then
// closes) one connection, with a time-out. Any thread; one probe per call.
class CVPortTester {
public:
    static constexpr int DefaultTimeoutMs = 5000;

    CVPortTester(const QString& host, quint64 port, int timeoutMs = DefaultTimeoutMs);

    // True when a connection opened. `resolvedAddress` receives the numeric
    // address the host resolved to (empty when it did not resolve); `error`
    // is filled on every failure.
    bool testConnection(QString* resolvedAddress, CVError* error) const;

private:
    const QString m_host;
    const quint64 m_port;
    const int m_timeoutMs;
};
