#include "BenchSession.h"

#include <algorithm>

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
    return nullptr;
}
