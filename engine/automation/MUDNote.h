#pragma once

#include <QString>
#include <memory>

#include "core/CVCopyingObject.h"
#include "engine/automation/MUDRecordFields.h"

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
    QString title() const { return m_fields.title; }
    void setTitle(const QString& title) { m_fields.title = title; }
    QString contents() const { return m_fields.contents; }
    void setContents(const QString& contents) { m_fields.contents = contents; }
    bool isNew() const { return m_fields.isNew; }
    void setIsNew(bool isNew) { m_fields.isNew = isNew; }
    bool isRemoved() const { return m_fields.isRemoved; }
    void setIsRemoved(bool isRemoved) { m_fields.isRemoved = isRemoved; }
    QString parentURL() const { return m_fields.parentURL; }
    void setParentURL(const QString& parentURL) { m_fields.parentURL = parentURL; }

private:
    // What change detection compares with the working copy.
    struct ComparedFields {
        MUDRecordFields::CaselessText title;
        MUDRecordFields::CaselessText contents;
        MUDRecordFields::Location parentURL;
        bool operator==(const ComparedFields&) const = default;
    };
    struct Fields : ComparedFields {
        bool isNew = false;
        bool isRemoved = false;
    };

    std::shared_ptr<MUDNote> m_modifiedInstance;
    Fields m_fields;
};
