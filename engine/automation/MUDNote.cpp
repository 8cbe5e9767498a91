#include "engine/automation/MUDNote.h"

#include "engine/automation/MUDRecordFields.h"

using namespace MUDRecordFields;

bool MUDNote::isModified() const
{
    if (m_isNew || m_isRemoved)
        return true;
    const MUDNote* copy = m_modifiedInstance.get();
    if (!copy)
        return false;
    return m_title.compare(copy->m_title, Qt::CaseInsensitive) != 0
        || m_contents.compare(copy->m_contents, Qt::CaseInsensitive) != 0
        || !sameLocation(m_parentURL, copy->m_parentURL);
}

bool MUDNote::matchesString(const QString& search) const
{
    return fieldContains(m_title, search) || fieldContains(m_contents, search);
}
