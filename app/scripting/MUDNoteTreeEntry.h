#pragma once

#include "app/scripting/MUDRecordTreeEntry.h"
#include "engine/automation/MUDNote.h"

// A note in the notes tree. Main thread.
class MUDNoteTreeEntry : public MUDRecordTreeEntry<MUDNote> {
public:
    using MUDRecordTreeEntry<MUDNote>::MUDRecordTreeEntry;

    std::shared_ptr<MUDNote> note() const { return record(); }
    QIcon image() const override;

protected:
    Ptr clone() const override { return Ptr(new MUDNoteTreeEntry(*this)); }
    QString className() const override { return QStringLiteral("MUDNoteTreeEntry"); }
};
