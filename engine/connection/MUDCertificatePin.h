#pragma once

#include <QByteArray>
#include <QString>

#include "core/CVError.h"

class MUDConnection;

// The certificate a player chose to trust for one connection although it
// did not verify: its SHA-256 fingerprint, kept in the connection's folder
// beside connection.json (so it moves with a rename and goes with a
// removal), readable by its owner only. Stateless; main thread.
class MUDCertificatePin {
public:
    static QString fileName() { return QStringLiteral("pinnedCertificate.json"); }
    // The file's place; none when the connection has no folder.
    static QString pathForConnection(const MUDConnection& connection);
    // The pinned fingerprint (32 bytes), or empty when none is pinned. A
    // file that cannot be read as one counts as none, with a log line: the
    // player is then asked again rather than trusted blindly.
    static QByteArray pinnedFingerprint(const MUDConnection& connection);
    // Pins `sha256`, replacing an earlier pin.
    static bool pinFingerprint(const MUDConnection& connection, const QByteArray& sha256, CVError* error = nullptr);
};
