#pragma once

#include "app/scripting/MUDRecordTreeEntry.h"
#include "engine/automation/MUDTrigger.h"

// A trigger in the triggers tree, the login pseudo-trigger included (which
// can never be removed). Main thread.
class CVTriggerTreeEntry : public MUDRecordTreeEntry<MUDTrigger> {
public:
    using MUDRecordTreeEntry<MUDTrigger>::MUDRecordTreeEntry;

    std::shared_ptr<MUDTrigger> trigger() const { return record(); }
    QIcon image() const override;
    bool canBeRemoved() const override { return !record()->isLoginTrigger(); }

protected:
    Ptr clone() const override { return Ptr(new CVTriggerTreeEntry(*this)); }
    QString className() const override { return QStringLiteral("CVTriggerTreeEntry"); }
};
