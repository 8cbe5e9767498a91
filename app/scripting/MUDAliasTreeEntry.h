#pragma once

#include "app/scripting/MUDRecordTreeEntry.h"
#include "engine/automation/MUDAlias.h"

// An alias in the aliases tree. Main thread.
class MUDAliasTreeEntry : public MUDRecordTreeEntry<MUDAlias> {
public:
    using MUDRecordTreeEntry<MUDAlias>::MUDRecordTreeEntry;

    std::shared_ptr<MUDAlias> alias() const { return record(); }
    QIcon image() const override;

protected:
    Ptr clone() const override { return Ptr(new MUDAliasTreeEntry(*this)); }
    QString className() const override { return QStringLiteral("MUDAliasTreeEntry"); }
};
