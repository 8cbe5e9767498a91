#pragma once

#include <QList>
#include <QString>
#include <memory>

class MUDConnection;
using MUDConnectionList = QList<std::shared_ptr<MUDConnection>>;

// One thing the command line asks to open, resolved against the stored
// connections: a stored connection by its title, or a telnet:// address
// that becomes an unsaved connection (no title, so storage writes nothing
// for it). Failure is a value: no connection and an error text that names
// the argument. Main thread.
class MUDLaunchTarget {
public:
    static constexpr quint16 DefaultTelnetPort = 23;

    // A stored title wins, so a connection titled like an address still
    // opens by its title; then telnet:// addresses; anything else is a
    // title that is not stored.
    static MUDLaunchTarget resolve(const QString& argument, const MUDConnectionList& stored);

    // telnet://host[:port][/] as an unsaved connection (fresh identity, no
    // title); null with `error` set when the address is malformed.
    static std::shared_ptr<MUDConnection> connectionFromTelnetAddress(const QString& address, QString* error);

    bool isValid() const { return m_connection != nullptr; }
    std::shared_ptr<MUDConnection> connection() const { return m_connection; }
    // Only for a stored connection.
    bool isStored() const { return m_isStored; }
    QString errorText() const { return m_errorText; }

private:
    std::shared_ptr<MUDConnection> m_connection;
    bool m_isStored = false;
    QString m_errorText;
};
