#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>

// The match settings of the trigger being edited, broadcast so that every
// session's output view can highlight where the trigger would match. Posted
// as the object of the notification mudMatchHasTestNotificationName(); the
// same notification without an object clears the test. A plain value; any
// thread.
struct MUDMatchTest {
    int32_t matchType = 0;
    QString matchString;
    bool matchFromStartOfLine = false;
    bool caseSpecific = false;

    static QString mudMatchHasTestNotificationName() { return QStringLiteral("com.corvane.matchTest"); }

    bool operator==(const MUDMatchTest&) const = default;
};

Q_DECLARE_METATYPE(MUDMatchTest)
