#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// The engine's notifications (trigger and alias changes, closed sessions,
// match tests): a name plus an optional object. Posting works from any
// thread; `notificationPosted` is always emitted on the main thread, so
// observers living there are called on the main thread.
class MUDNotificationCenter : public QObject {
    Q_OBJECT
public:
    static MUDNotificationCenter& defaultCenter();

    // From the main thread the signal is emitted before this returns;
    // from another thread it is emitted later, in posting order.
    void postNotification(const QString& name, const QVariant& object = {});

signals:
    void notificationPosted(const QString& name, const QVariant& object);

private:
    MUDNotificationCenter() = default;
};
