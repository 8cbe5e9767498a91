#pragma once

#include <memory>

#include "app/scripting/CVDatabaseTreeEntry.h"
#include "app/scripting/CVTreeEntryModifiable.h"

// A leaf of a script tree holding one record (trigger, alias or note)
// strongly; copies share the record. The title shown is the working copy's
// when it has one. Main thread.
template<class Record> class MUDRecordTreeEntry : public CVDatabaseTreeEntry, public CVTreeEntryModifiable {
public:
    explicit MUDRecordTreeEntry(std::shared_ptr<Record> record)
        : m_record(std::move(record))
    {
    }

    std::shared_ptr<Record> record() const { return m_record; }

    QString displayName() const override
    {
        const auto copy = m_record->modifiedInstance();
        return copy && !copy->title().isNull() ? copy->title() : m_record->title();
    }
    bool isRemoved() const override { return CVDatabaseTreeEntry::isRemoved() || m_record->isRemoved(); }
    void setIsRemoved(bool isRemoved) override { m_record->setIsRemoved(isRemoved); }
    bool isModified() const override { return m_record->isModified(); }
    bool matchesString(const QString& search) const override { return m_record->matchesString(search); }

    // The record will live in `url`: its working copy (made now when
    // missing) is moved there.
    void setURL(const QString& url)
    {
        if (!m_record->modifiedInstance())
            m_record->setModifiedInstance(m_record->copy());
        m_record->modifiedInstance()->setParentURL(url);
    }

protected:
    MUDRecordTreeEntry(const MUDRecordTreeEntry&) = default;

    // The record as it will be saved: the working copy when there is one.
    const Record& current() const
    {
        const auto copy = m_record->modifiedInstance();
        return copy ? *copy : *m_record;
    }

private:
    std::shared_ptr<Record> m_record;
};
