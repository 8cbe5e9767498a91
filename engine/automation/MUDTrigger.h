#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/CVCopyingObject.h"
#include "engine/automation/MUDRecordFields.h"

// A pattern looked for in the game's output, with the script to run when it
// is found. A plain record: one thread at a time, except the compiled
// pattern cache, which the trigger processor fills from its matching threads
// (guarded by its own mutex). A copy leaves out the working copy
// (modifiedInstance).
class MUDTrigger : public CVCopyingObject {
public:
    // matchType values.
    static constexpr int32_t kMatchPlainText = 0;
    static constexpr int32_t kMatchRegularExpression = 1;
    // Matches GMCP messages, not text: the pattern is a package name.
    static constexpr int32_t kMatchGMCPPackage = 2;

    MUDTrigger() = default;
    MUDTrigger(const MUDTrigger& other);
    MUDTrigger& operator=(const MUDTrigger&) = delete;

    QStringList propertiesToSkipForCopy() const override;
    std::shared_ptr<MUDTrigger> copy() const { return std::make_shared<MUDTrigger>(*this); }

    static QString triggerModifiedNotification();
    // The title argument names the trigger; the dictionary's "title" is not read.
    static std::shared_ptr<MUDTrigger> triggerFromDictionaryRepresentation(const QJsonObject& dictionary,
                                                                           const QString& title);
    QJsonObject dictionaryRepresentation() const;

    // True when new, removed, or the working copy differs in a stored field.
    bool isModified() const;
    // Case-insensitive search in title, action and match string.
    bool matchesString(const QString& search) const;
    // The title, or "<nil>" when it is empty.
    QString description() const;

    // Cache slot of the trigger processor: its compiled form of matchString,
    // opaque here. Never cleared by the record itself.
    std::shared_ptr<void> compiledRegex() const;
    void setCompiledRegex(std::shared_ptr<void> compiledRegex);

    std::shared_ptr<MUDTrigger> modifiedInstance() const { return m_modifiedInstance; }
    void setModifiedInstance(std::shared_ptr<MUDTrigger> instance) { m_modifiedInstance = std::move(instance); }

    bool isDebug() const { return m_fields.isDebug; }
    void setIsDebug(bool isDebug) { m_fields.isDebug = isDebug; }
    bool isLoginTrigger() const { return m_fields.isLoginTrigger; }
    void setIsLoginTrigger(bool isLoginTrigger) { m_fields.isLoginTrigger = isLoginTrigger; }
    bool disabled() const { return m_fields.disabled; }
    void setDisabled(bool disabled) { m_fields.disabled = disabled; }
    QString title() const { return m_fields.title; }
    void setTitle(const QString& title) { m_fields.title = title; }
    int32_t matchType() const { return m_fields.matchType; }
    void setMatchType(int32_t matchType) { m_fields.matchType = matchType; }
    QString matchString() const { return m_fields.matchString; }
    void setMatchString(const QString& matchString) { m_fields.matchString = matchString; }
    bool matchFromStartOfLine() const { return m_fields.matchFromStartOfLine; }
    void setMatchFromStartOfLine(bool value) { m_fields.matchFromStartOfLine = value; }
    bool caseSpecific() const { return m_fields.caseSpecific; }
    void setCaseSpecific(bool caseSpecific) { m_fields.caseSpecific = caseSpecific; }
    int32_t source() const { return m_fields.source; }
    void setSource(int32_t source) { m_fields.source = source; }
    QString action() const { return m_fields.action; }
    void setAction(const QString& action) { m_fields.action = action; }
    int32_t actionType() const { return m_fields.actionType; }
    void setActionType(int32_t actionType) { m_fields.actionType = actionType; }
    bool isNew() const { return m_fields.isNew; }
    void setIsNew(bool isNew) { m_fields.isNew = isNew; }
    bool isRemoved() const { return m_fields.isRemoved; }
    void setIsRemoved(bool isRemoved) { m_fields.isRemoved = isRemoved; }
    // The folder that holds (or will hold) the trigger's file; null for none.
    QString parentURL() const { return m_fields.parentURL; }
    void setParentURL(const QString& parentURL) { m_fields.parentURL = parentURL; }

private:
    // What change detection compares with the working copy.
    struct ComparedFields {
        bool isDebug = false;
        bool disabled = false;
        bool caseSpecific = false;
        int32_t matchType = kMatchPlainText;
        bool matchFromStartOfLine = false;
        int32_t source = 0;
        int32_t actionType = 0;
        MUDRecordFields::Text title;
        MUDRecordFields::Text matchString;
        MUDRecordFields::Text action;
        MUDRecordFields::Location parentURL;
        bool operator==(const ComparedFields&) const = default;
    };
    // Everything a copy carries besides the compiled pattern.
    struct Fields : ComparedFields {
        bool isLoginTrigger = false;
        bool isNew = false;
        bool isRemoved = false;
    };

    mutable std::mutex m_compiledRegexMutex;
    std::shared_ptr<void> m_compiledRegex;
    std::shared_ptr<MUDTrigger> m_modifiedInstance;
    Fields m_fields;
};
