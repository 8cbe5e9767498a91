#pragma once

#include <QHash>
#include <QJsonValue>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <optional>

struct MUDGMCPMessage;

// The last value of each GMCP package the server sent on the session's
// current connection, for scripts. Package names are case-insensitive.
//
// Which values merge: an object sent for a character package, one named
// "Char.<Name>" with no further part (Char.Vitals, Char.Status, Char.Stats),
// is merged key by key into the object kept, because servers commonly send
// those as changes only; every other message replaces what was kept: a
// room or a list is a whole record whose missing keys mean "gone", and an
// event (Comm.Channel.Text) is only ever the last one. A message without
// JSON keeps null.
//
// Any thread (guarded by m_mutex): messages are applied on the main
// thread, scripts read on their own threads.
class MUDGMCPState {
public:
    // A server inventing package names without end is not followed past this.
    static constexpr qsizetype MaximumPackages = 1024;

    // False when the message's package is new and MaximumPackages are kept.
    bool apply(const MUDGMCPMessage& message);
    // None when no message of the package came on this connection. The
    // value shares no storage with what is kept, so a reader on another
    // thread may keep it while messages change the state.
    std::optional<QJsonValue> value(const QString& package) const;
    // The packages seen, as the server last spelled them, sorted.
    QStringList packages() const;
    // A new connection starts with nothing kept.
    void reset();

    static bool mergesObjects(const QString& package);

private:
    struct Entry {
        QString package;
        QJsonValue value;
    };
    mutable QMutex m_mutex;
    QHash<QString, Entry> m_entries;
};
