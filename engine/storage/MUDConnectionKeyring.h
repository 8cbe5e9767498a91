#pragma once

#include <QString>

class MUDConnection;

// When a connection keeps its password in the system keyring (MUDKeyring)
// rather than in connection.json: the keyring holds it under the
// connection's id, the file holds "" and the record holds it only once it
// has been fetched. Each call may wait for the keyring, at most
// MUDKeyring::TimeoutMs. Any thread, one record at a time.
class MUDConnectionKeyring {
public:
    // Fetches the password of a connection that keeps it in the keyring
    // into the record (in memory only). True, changing nothing, for one that
    // does not.
    static bool fetchPassword(MUDConnection& connection, QString* error);

    // Before an edited record is written: a record that keeps its password
    // in the keyring stores it there first, so a keyring that refuses leaves
    // the file as it was. True for one that does not.
    static bool storeBeforeSaving(const MUDConnection& edited, QString* error);
    // After it was written: a record that stopped keeping its password in
    // the keyring (the file has it again) has it removed from there. A
    // keyring that refuses is logged: the password is then in both places.
    static void removeAfterSaving(bool keptInKeyring, const MUDConnection& edited);
};
