#include "app/scripting/CVDatabaseTreeEntry.h"

#include "core/CVLogHelper.h"

CVDatabaseTreeEntry::CVDatabaseTreeEntry(const CVDatabaseTreeEntry& other)
    : std::enable_shared_from_this<CVDatabaseTreeEntry>()
    , m_canHaveChildren(other.m_canHaveChildren)
    , m_expanded(other.m_expanded)
    , m_parent(other.m_parent)
    , m_displayName(other.m_displayName)
    , m_children(other.m_children)
{
}

CVDatabaseTreeEntry::Ptr CVDatabaseTreeEntry::copy() const
{
    Ptr result = clone();
    auto self = std::const_pointer_cast<CVDatabaseTreeEntry>(shared_from_this());
    result->m_original = self->original();
    return result;
}

CVDatabaseTreeEntry::Ptr CVDatabaseTreeEntry::original()
{
    if (Ptr source = m_original.lock())
        return source;
    return shared_from_this();
}

bool CVDatabaseTreeEntry::isRemoved() const
{
    const Ptr parentEntry = parent();
    return parentEntry && parentEntry->isRemoved();
}

void CVDatabaseTreeEntry::setIsRemoved(bool)
{
    // Only entries that stand for a stored record can be removed: reaching
    // this is a slip in a subclass, worth a log line rather than a crash.
    CVLog(QStringLiteral("%1:%2 must be overridden in a subclass/category")
              .arg(className(), QStringLiteral("setIsRemoved:")));
}

bool CVDatabaseTreeEntry::matchesString(const QString&) const
{
    return false;
}
