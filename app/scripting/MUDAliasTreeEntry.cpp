#include "app/scripting/MUDAliasTreeEntry.h"

#include "app/scripting/MUDScriptTreeIcons.h"

QIcon MUDAliasTreeEntry::image() const
{
    return MUDScriptTreeIcons::checkbox(!current().disabled());
}
