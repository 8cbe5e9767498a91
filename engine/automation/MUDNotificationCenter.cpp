#include "engine/automation/MUDNotificationCenter.h"

#include <QCoreApplication>

#include "core/CVMainThread.h"

MUDNotificationCenter& MUDNotificationCenter::defaultCenter()
{
    static MUDNotificationCenter* center = [] {
        auto* created = new MUDNotificationCenter;
        created->moveToThread(QCoreApplication::instance() ? QCoreApplication::instance()->thread()
                                                           : created->thread());
        return created;
    }();
    return *center;
}

void MUDNotificationCenter::postNotification(const QString& name, const QVariant& object)
{
    if (fc_isMainThread()) {
        emit notificationPosted(name, object);
        return;
    }
    fc_executeOnMainThread([this, name, object] { emit notificationPosted(name, object); });
}
