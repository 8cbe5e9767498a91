#include "engine/storage/MUDConnectionLists.h"

#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

std::optional<MUDTriggerList> MUDConnectionLists::triggers(MUDConnection& connection)
{
    if (!connection.loadedTriggers())
        forceLoadTriggers(connection);
    return connection.loadedTriggers();
}

std::optional<MUDAliasList> MUDConnectionLists::aliases(MUDConnection& connection)
{
    if (!connection.loadedAliases())
        forceLoadAliases(connection);
    return connection.loadedAliases();
}

bool MUDConnectionLists::forceLoadTriggers(MUDConnection& connection, CVError* error)
{
    connection.setLoadedTriggers(MUDPreservation::loadTriggersForConnection(connection, error));
    return connection.loadedTriggers().has_value();
}

bool MUDConnectionLists::forceLoadAliases(MUDConnection& connection, CVError* error)
{
    connection.setLoadedAliases(MUDPreservation::loadAliasForConnection(connection, QString(), true, error));
    if (connection.loadedAliases())
        return true;
    CVSetError(error, QStringLiteral("No aliasesURL. Cannot load."));
    return false;
}
