#include "app/scripting/MUDNoteTreeEntry.h"

#include "app/scripting/MUDScriptTreeIcons.h"

QIcon MUDNoteTreeEntry::image() const
{
    return MUDScriptTreeIcons::note();
}
