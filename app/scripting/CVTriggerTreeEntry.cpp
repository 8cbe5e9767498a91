#include "app/scripting/CVTriggerTreeEntry.h"

#include "app/scripting/MUDScriptTreeIcons.h"

QIcon CVTriggerTreeEntry::image() const
{
    return MUDScriptTreeIcons::checkbox(!current().disabled());
}
