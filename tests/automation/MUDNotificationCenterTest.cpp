#include "engine/automation/MUDNotificationCenter.h"

#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDAliasesModifiedObject.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggersModifiedObject.h"

#include <QThread>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/CVMainThread.h"

TEST(MUDNotificationCenter, NotificationsReachObserversOnTheMainThreadInOrder)
{
    QStringList names;
    QStringList ids;
    bool allOnMain = true;
    QObject observer;
    QObject::connect(&MUDNotificationCenter::defaultCenter(), &MUDNotificationCenter::notificationPosted, &observer,
                     [&](const QString& name, const QVariant& object) {
                         allOnMain = allOnMain && fc_isMainThread();
                         names << name;
                         if (object.canConvert<MUDTriggersModifiedObject>())
                             ids << object.value<MUDTriggersModifiedObject>().connectionId();
                         else if (object.canConvert<MUDAliasesModifiedObject>())
                             ids << object.value<MUDAliasesModifiedObject>().connectionId();
                     });
    MUDNotificationCenter::defaultCenter().postNotification(MUDTrigger::triggerModifiedNotification(),
                                                            QVariant::fromValue(MUDTriggersModifiedObject("A")));
    EXPECT_EQ(names.size(), 1) << "posted on the main thread: delivered at once";

    QThread* worker = QThread::create([] {
        MUDNotificationCenter::defaultCenter().postNotification(MUDAlias::aliasModifiedNotification(),
                                                                QVariant::fromValue(MUDAliasesModifiedObject("B")));
        MUDNotificationCenter::defaultCenter().postNotification("com.corvane.matchTest");
    });
    worker->start();
    worker->wait();
    delete worker;
    ASSERT_TRUE(waitUntil([&] { return names.size() == 3; }, 2000));
    EXPECT_EQ(names, (QStringList{"com.corvane.quarrow.triggerModified", "com.corvane.quarrow.aliasModified",
                                  "com.corvane.matchTest"}));
    EXPECT_EQ(ids, (QStringList{"A", "B"}));
    EXPECT_TRUE(allOnMain);
}
