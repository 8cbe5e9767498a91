#pragma once

#include <memory>

#include "app/scripting/CVDatabaseTreeEntry.h"
#include "app/scripting/CVTreeEntryModifiable.h"

class MUDConnection;

// A folder of a script tree. `url` is where the folder will be after the
// commit, `origionalURL` where it is on disk; renames, removals and new
// folders are only flags until the commit. Main thread.
class CVFolderTreeEntry : public CVDatabaseTreeEntry, public CVTreeEntryModifiable {
public:
    CVFolderTreeEntry(const QString& url, std::shared_ptr<MUDConnection> connection, int entryType,
                      const QString& displayName, bool isRoot);

    std::shared_ptr<MUDConnection> connection() const { return m_connection; }
    int entryType() const { return m_entryType; }
    QString url() const { return m_url; }
    QString origionalURL() const { return m_origionalURL; }
    QString origionalName() const { return m_origionalName; }
    bool isRoot() const { return m_isRoot; }
    bool isNewFolder() const { return m_isNewFolder; }
    void setIsNewFolder(bool isNewFolder) { m_isNewFolder = isNewFolder; }

    QString displayName() const override { return m_display; }
    QIcon image() const override;
    bool canBeRemoved() const override { return parent() != nullptr; }
    bool isRemoved() const override;
    void setIsRemoved(bool isRemoved) override { m_isRemoved = isRemoved; }
    // The own mark, without the parent's.
    bool isMarkedRemoved() const { return m_isRemoved; }
    // A change of letter case alone is no rename; a new folder is never renamed.
    bool isRenamed() const;
    bool isModified() const override;

    // Shows `name` and moves `url` beside its old place; origionalURL stays.
    void setModifiedName(const QString& name);
    // The folder's parent moved to `parentURL`.
    void setParentURL(const QString& parentURL);

protected:
    CVFolderTreeEntry(const CVFolderTreeEntry&) = default;
    Ptr clone() const override;
    QString className() const override { return QStringLiteral("CVFolderTreeEntry"); }

private:
    // The folder's name on disk after the commit.
    QString targetName() const;

    std::shared_ptr<MUDConnection> m_connection;
    int m_entryType;
    QString m_url;
    QString m_origionalURL;
    QString m_display;
    QString m_origionalName;
    bool m_isRoot;
    bool m_isRemoved = false;
    bool m_isNewFolder = false;
};

// `folder`/`name`, cleaned.
QString joinedPath(const QString& folder, const QString& name);
