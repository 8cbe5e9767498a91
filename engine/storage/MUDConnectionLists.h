#pragma once

#include <optional>

#include "core/CVError.h"
#include "engine/automation/MUDScriptLists.h"

class MUDConnection;

// A connection's triggers and aliases as storage holds them, loaded into
// the connection record, which keeps them for every reader until the next
// load. Main thread.
class MUDConnectionLists {
public:
    // The list the connection holds; when it holds none, loaded first (the
    // error is dropped). A failed load leaves none, so the next read tries
    // again.
    static std::optional<MUDTriggerList> triggers(MUDConnection& connection);
    static std::optional<MUDAliasList> aliases(MUDConnection& connection);

    // Replace the held list with what storage holds now (every group folder
    // included). False, with the reason in `error`, when the connection has
    // no folder to load from: it then holds none.
    static bool forceLoadTriggers(MUDConnection& connection, CVError* error = nullptr);
    static bool forceLoadAliases(MUDConnection& connection, CVError* error = nullptr);
};
