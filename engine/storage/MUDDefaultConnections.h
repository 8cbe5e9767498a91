#pragma once

#include <QString>

// Seeding an empty storage with the connections shipped with the
// application. Main thread.
namespace MUDDefaultConnections {

// Copies every "*.mud" folder of `sourceFolder` into storage's connections
// folder when storage holds no connection; a failed copy does not stop the
// others. Returns how many were copied.
int copyDefaultConnections(const QString& sourceFolder);

} // namespace MUDDefaultConnections
