#include "app/scripting/CVFolderTreeEntry.h"

#include <QDir>
#include <QFileInfo>

#include "app/scripting/MUDScriptTreeIcons.h"

QString joinedPath(const QString& folder, const QString& name)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + name);
}

CVFolderTreeEntry::CVFolderTreeEntry(const QString& url, std::shared_ptr<MUDConnection> connection, int entryType,
                                     const QString& displayName, bool isRoot)
    : m_connection(std::move(connection))
    , m_entryType(entryType)
    , m_url(url)
    , m_origionalURL(url)
    , m_display(displayName)
    , m_origionalName(displayName)
    , m_isRoot(isRoot)
{
    m_canHaveChildren = true;
    setDisplayName(displayName);
}

CVDatabaseTreeEntry::Ptr CVFolderTreeEntry::clone() const
{
    return Ptr(new CVFolderTreeEntry(*this));
}

QIcon CVFolderTreeEntry::image() const
{
    return MUDScriptTreeIcons::folder();
}

bool CVFolderTreeEntry::isRemoved() const
{
    return m_isRemoved || CVDatabaseTreeEntry::isRemoved();
}

bool CVFolderTreeEntry::isRenamed() const
{
    if (m_isNewFolder)
        return false;
    return m_display.compare(m_origionalName, Qt::CaseInsensitive) != 0;
}

bool CVFolderTreeEntry::isModified() const
{
    return m_isNewFolder || isRenamed() || isRemoved();
}

void CVFolderTreeEntry::setModifiedName(const QString& name)
{
    m_display = name;
    setDisplayName(name);
    m_url = joinedPath(QFileInfo(m_url).path(), targetName());
}

void CVFolderTreeEntry::setParentURL(const QString& parentURL)
{
    m_url = joinedPath(parentURL, targetName());
    m_origionalURL = joinedPath(parentURL, m_origionalName);
}

QString CVFolderTreeEntry::targetName() const
{
    // A change of letter case alone is no rename, so nothing moves: the
    // records keep living in the folder as it is named on disk (on a
    // case-sensitive file system the new spelling would be another folder).
    return isRenamed() || m_isNewFolder ? m_display : m_origionalName;
}
