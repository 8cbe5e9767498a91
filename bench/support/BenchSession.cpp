#include "BenchSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

double milliseconds(BenchClock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

BenchDataFolder::BenchDataFolder()
{
    qputenv("QUARROW_DATA_DIR", m_folder.path().toLocal8Bit());
}

std::shared_ptr<MUDConnection> storedConnection(quint16 port)
{
    MUDConnection draft;
    auto copy = std::make_shared<MUDConnection>();
    copy->setTitle(QStringLiteral("Flood"));
    copy->setHost(QStringLiteral("127.0.0.1"));
    copy->setPort(port);
    draft.setModifiedInstance(copy);
    MUDPreservation::saveConnection(draft);
    for (const std::shared_ptr<MUDConnection>& connection : MUDPreservation::loadConnections())
        if (connection->title() == copy->title())
            return connection;
    std::fprintf(stderr, "could not store the connection\n");
    return nullptr;
}

void storeTriggers(const MUDConnection& connection, int count)
{
    MUDTriggerList triggers;
    for (int index = 0; index < count; ++index) {
        auto trigger = std::make_shared<MUDTrigger>();
        trigger->setTitle(QStringLiteral("t%1").arg(index));
        if (index == 0) {
            trigger->setMatchType(MUDTrigger::kMatchPlainText);
            trigger->setMatchString(QStringLiteral("The orc hits you."));
        } else if (index == 1) {
            trigger->setMatchType(MUDTrigger::kMatchRegularExpression);
            trigger->setMatchString(QStringLiteral("You feel (\\w+)"));
        } else if (index % 2 == 0) {
            trigger->setMatchType(MUDTrigger::kMatchPlainText);
            trigger->setMatchString(QStringLiteral("The dragon number %1 breathes fire").arg(index));
        } else {
            trigger->setMatchType(MUDTrigger::kMatchRegularExpression);
            trigger->setMatchString(QStringLiteral("^(\\w+) tells you %1: (.+)$").arg(index));
        }
        trigger->setAction(QStringLiteral("var seen = 1;"));
        trigger->setIsNew(true);
        trigger->setParentURL(MUDPreservation::urlForTriggersInConnection(connection));
        triggers.append(trigger);
    }
    MUDPreservation::saveTriggers(triggers, connection);
}

QString proxyRebuiltOutput(const QStringList& documents)
{
    QString text;
    for (const QString& document : documents) {
        const QJsonObject object = QJsonDocument::fromJson(document.toUtf8()).object();
        if (object.value(QStringLiteral("action")).toString() == QLatin1String("messages"))
            continue;
        for (const QJsonValue& entry : object.value(QStringLiteral("entries")).toArray())
            text += entry.toObject().value(QStringLiteral("text")).toString();
    }
    return text;
}
