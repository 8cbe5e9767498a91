#pragma once

#include <QObject>
#include <QString>

#include "engine/connection/MUDSocketSecurity.h"

class MUDDocument;
class MUDSocket;

// A session's TLS side: the status line (and the text of the window's lock
// mark) once a secure connection is up, the request for the player's
// judgement when the server's certificate was refused, and pinning the
// certificate the player chose to trust before connecting again. A plain
// connection never hears of it. Main thread.
class MUDSessionSecurity : public QObject {
    Q_OBJECT
public:
    explicit MUDSessionSecurity(MUDDocument& document);

    // "Secure connection (TLS 1.3, certificate verified)" while such a
    // connection is up; empty otherwise.
    QString statusText() const { return m_statusText; }

    // Socket reports, from the session.
    void connected(const MUDSocket& socket);
    void disconnected();
    // True when the failure was a refused certificate the player is now
    // asked about: the session then does not reconnect on its own.
    bool connectionFailed(const MUDSocket& socket);

    // Pins `security`'s certificate for the session's connection and
    // connects again; false, with a line in the output, when the pin cannot
    // be stored.
    bool trustCertificate(const MUDSocketSecurity& security);

signals:
    void statusTextChanged(const QString& statusText);
    // A refused certificate the player may choose to trust.
    void certificateNeedsTrust(const MUDSocketSecurity& security);

private:
    void setStatusText(const QString& text);

    MUDDocument& m_document;
    QString m_statusText;
};
