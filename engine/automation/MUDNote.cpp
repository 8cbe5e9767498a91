#include "engine/automation/MUDNote.h"

#include "engine/automation/MUDRecordFields.h"

using namespace MUDRecordFields;

bool MUDNote::isModified() const
{
    if (m_fields.isNew || m_fields.isRemoved)
        return true;
    const MUDNote* copy = m_modifiedInstance.get();
    if (!copy)
        return false;
    const ComparedFields& mine = m_fields;
    const ComparedFields& theirs = copy->m_fields;
    return mine != theirs;
}

bool MUDNote::matchesString(const QString& search) const
{
    return fieldContains(m_fields.title, search) || fieldContains(m_fields.contents, search);
}
