#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <memory>

// A node of a script tree: a folder or one record. Children are owned by
// their parent; the parent and the node a copy was made from are weak.
// Copies share the children (and, for leaves, the record) with the source;
// the search filter builds its tree from copies. Main thread.
class CVDatabaseTreeEntry : public std::enable_shared_from_this<CVDatabaseTreeEntry> {
public:
    using Ptr = std::shared_ptr<CVDatabaseTreeEntry>;

    virtual ~CVDatabaseTreeEntry() = default;

    // A copy of this node of the same class (same parent, image and flags,
    // the children shared); original() of the copy names this node.
    Ptr copy() const;
    // The node of the full tree this one was copied from, or this node.
    Ptr original();

    bool canHaveChildren() const { return m_canHaveChildren; }
    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded) { m_expanded = expanded; }

    Ptr parent() const { return m_parent.lock(); }
    void setParent(const Ptr& parent) { m_parent = parent; }

    virtual QString displayName() const { return m_displayName; }
    void setDisplayName(const QString& displayName) { m_displayName = displayName; }

    QList<Ptr>& childTreeEntries() { return m_children; }
    const QList<Ptr>& childTreeEntries() const { return m_children; }
    void setChildTreeEntries(const QList<Ptr>& children) { m_children = children; }

    virtual QIcon image() const { return {}; }
    // Removed when the parent is.
    virtual bool isRemoved() const;
    // Each node kind keeps its own removal mark.
    virtual void setIsRemoved(bool isRemoved);
    virtual bool canBeRemoved() const { return true; }
    // Whether the represented record accepts a search text; folders never do.
    virtual bool matchesString(const QString& search) const;

protected:
    CVDatabaseTreeEntry() = default;
    CVDatabaseTreeEntry(const CVDatabaseTreeEntry& other);
    virtual Ptr clone() const = 0;
    virtual QString className() const = 0;

    bool m_canHaveChildren = false;

private:
    bool m_expanded = false;
    std::weak_ptr<CVDatabaseTreeEntry> m_parent;
    std::weak_ptr<CVDatabaseTreeEntry> m_original;
    QString m_displayName;
    QList<Ptr> m_children;
};
