#pragma once

#include <QString>

// The product's fixed settings: its name, the support endpoints and where
// its shipped resources live. Defined once here; any thread.
namespace MUDProductSettings {

inline QString productName()
{
    return QStringLiteral("Quarrow");
}
inline QString issueTrackerURL()
{
    return QStringLiteral("https://github.com/quarrow/quarrow/issues");
}
// A placeholder until the project has a support mailbox.
inline QString supportEmailAddress()
{
    return QStringLiteral("support@quarrow.example");
}
// The folder of default connections among the compiled-in resources.
inline QString defaultConnectionsFolder()
{
    return QStringLiteral(":/QuarrowResources/Connections");
}

} // namespace MUDProductSettings
