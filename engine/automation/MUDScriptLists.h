#pragma once

#include <QList>
#include <memory>

class MUDAlias;
class MUDNote;
class MUDTrigger;

// Lists of script records as storage, connections and sessions pass them.
using MUDTriggerList = QList<std::shared_ptr<MUDTrigger>>;
using MUDAliasList = QList<std::shared_ptr<MUDAlias>>;
using MUDNoteList = QList<std::shared_ptr<MUDNote>>;
