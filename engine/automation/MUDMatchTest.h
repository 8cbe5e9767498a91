#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>

// The match settings of the trigger being edited, broadcast so that every
// session's output view can show what the pattern would match. Posted as
// the object of the notification named by mudMatchHasTestNotificationName();
// a post without object clears the test. Plain value; any thread.
class MUDMatchTest {
public:
    MUDMatchTest() = default;
    MUDMatchTest(int32_t matchType, const QString& matchString, bool matchFromStartOfLine, bool caseSpecific)
        : m_matchType(matchType)
        , m_matchString(matchString)
        , m_matchFromStartOfLine(matchFromStartOfLine)
        , m_caseSpecific(caseSpecific)
    {
    }

    static QString mudMatchHasTestNotificationName() { return QStringLiteral("com.corvane.matchTest"); }

    int32_t matchType() const { return m_matchType; }
    QString matchString() const { return m_matchString; }
    bool matchFromStartOfLine() const { return m_matchFromStartOfLine; }
    bool caseSpecific() const { return m_caseSpecific; }

    bool operator==(const MUDMatchTest&) const = default;

private:
    int32_t m_matchType = 0;
    QString m_matchString;
    bool m_matchFromStartOfLine = false;
    bool m_caseSpecific = false;
};

Q_DECLARE_METATYPE(MUDMatchTest)
