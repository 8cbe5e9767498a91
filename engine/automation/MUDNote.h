#pragma once

#include <QString>
#include <memory>

#include "core/CVCopyingObject.h"

// Free text kept with a connection; stored as a text file named after its
// title. A plain record; one thread at a time. It names no property to
// skip, so a copy keeps its working copy.
class MUDNote : public CVCopyingObject {
public:
    MUDNote() = default;
    MUDNote(const MUDNote&) = default;
    MUDNote& operator=(const MUDNote&) = default;

    std::shared_ptr<MUDNote> copy() const { return std::make_shared<MUDNote>(*this); }

    // True when new, removed, or the working copy differs in title,
    // contents (both without regard to case) or folder.
    bool isModified() const;
    // Case-insensitive search in title and contents.
    bool matchesString(const QString& search) const;

    std::shared_ptr<MUDNote> modifiedInstance() const { return m_modifiedInstance; }
    void setModifiedInstance(std::shared_ptr<MUDNote> instance) { m_modifiedInstance = std::move(instance); }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QString contents() const { return m_contents; }
    void setContents(const QString& contents) { m_contents = contents; }
    bool isNew() const { return m_isNew; }
    void setIsNew(bool isNew) { m_isNew = isNew; }
    bool isRemoved() const { return m_isRemoved; }
    void setIsRemoved(bool isRemoved) { m_isRemoved = isRemoved; }
    QString parentURL() const { return m_parentURL; }
    void setParentURL(const QString& parentURL) { m_parentURL = parentURL; }

private:
    std::shared_ptr<MUDNote> m_modifiedInstance;
    QString m_title;
    QString m_contents;
    bool m_isNew = false;
    bool m_isRemoved = false;
    QString m_parentURL;
};
