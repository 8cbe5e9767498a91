#pragma once

#include <QString>
#include <optional>

// The desktop keyring: a Secret Service on the session bus (GNOME Keyring,
// KWallet and others), reached through libsecret. It keeps one password per
// connection, found by attributes naming the application and the
// connection's id, for players who want no password in connection.json.
//
// Every call asks the service over D-Bus, which can wait (a locked keyring
// prompts, a stuck service never answers): each call runs on a worker
// thread and is given up after TimeoutMs, the worker ending on its own
// later. So any thread may call, the main thread included, and waits at
// most that long. No state of its own.
class MUDKeyring {
public:
    static constexpr int TimeoutMs = 5000;

    // Whether a Secret Service answers; `reason` says why not.
    static bool isAvailable(QString* reason);

    // Stores (or replaces) the password of connection `connectionId`; the
    // keyring shows it under `label`.
    static bool storePassword(const QString& connectionId, const QString& label, const QString& password,
                              QString* error);
    // The stored password, "" when none is stored; none when the keyring
    // could not be asked (`error` says why).
    static std::optional<QString> password(const QString& connectionId, QString* error);
    // Removes the stored password; removing one that is not there succeeds.
    static bool removePassword(const QString& connectionId, QString* error);
};
