#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>

class MUDCountdownAttribute;
class MUDDocument;

// A session's automatic reconnect: after a lost or failed connection it
// appends a countdown line, rewrites it every second and connects again at
// zero. The count stops while the window is hidden and ends when the
// session connects or closes. Only the latest countdown line stays in the
// output. Main thread.
class MUDReconnectCountdown {
public:
    static constexpr quint64 ReconnectCountdown = 5;
    // How far back from the end a countdown line is looked for.
    static constexpr qsizetype CountdownSearchLength = 10240;

    explicit MUDReconnectCountdown(MUDDocument& document);

    // Starts a countdown when the connection asks for reconnecting and the
    // session is neither connected nor closed.
    void attemptReconnectIfNeeded();
    QString reconnectingString(const MUDCountdownAttribute& countdown, qint64 connectionAttempt) const;
    // Stops the latest countdown and takes its line out of the output.
    void removeAnyConnectionCountdown();

    // Attempts since the last successful connect.
    qint64 reconnectCount() const { return m_reconnectCount; }
    void resetReconnectCount() { m_reconnectCount = 0; }
    // Tests shorten the countdown's second.
    void setTickInterval(std::chrono::milliseconds interval) { m_tickInterval = interval; }

private:
    void onCountdownTickAction(MUDCountdownAttribute& countdown);
    void onCountdownFinished(MUDCountdownAttribute& countdown);
    bool isCounting() const;

    MUDDocument& m_document;
    qint64 m_reconnectCount = 0;
    std::chrono::milliseconds m_tickInterval{1000};
};
