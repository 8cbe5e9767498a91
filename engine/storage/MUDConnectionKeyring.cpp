#include "engine/storage/MUDConnectionKeyring.h"

#include <optional>

#include "core/CVLogHelper.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDKeyring.h"

bool MUDConnectionKeyring::fetchPassword(MUDConnection& connection, QString* error)
{
    if (!connection.passwordInKeyring())
        return true;
    const std::optional<QString> password = MUDKeyring::password(connection.connectionId(), error);
    if (!password)
        return false;
    connection.setPassword(*password);
    return true;
}

bool MUDConnectionKeyring::storeBeforeSaving(const MUDConnection& edited, QString* error)
{
    if (!edited.passwordInKeyring())
        return true;
    if (edited.password().isEmpty())
        return MUDKeyring::removePassword(edited.connectionId(), error);
    return MUDKeyring::storePassword(
        edited.connectionId(), QStringLiteral("Quarrow password for %1").arg(edited.title()), edited.password(), error);
}

void MUDConnectionKeyring::removeAfterSaving(bool keptInKeyring, const MUDConnection& edited)
{
    if (!keptInKeyring || edited.passwordInKeyring())
        return;
    if (QString error; !MUDKeyring::removePassword(edited.connectionId(), &error))
        CVLog(QStringLiteral("MUDConnectionKeyring - the password of \"%1\" stays in the system keyring: %2")
                  .arg(edited.title(), error));
}
