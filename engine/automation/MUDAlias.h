#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <memory>

#include "core/CVCopyingObject.h"
#include "engine/automation/MUDRecordFields.h"

// A pattern looked for at the start of a typed command, with the script to
// run instead of sending it, or, for a word alias without a script (made by
// #setAlias or a script's setAlias), the text to send instead. A plain
// record; one thread at a time. A copy leaves out the working copy
// (modifiedInstance).
class MUDAlias : public CVCopyingObject {
public:
    MUDAlias() = default;
    MUDAlias(const MUDAlias& other);
    MUDAlias& operator=(const MUDAlias&) = delete;

    QStringList propertiesToSkipForCopy() const override;
    std::shared_ptr<MUDAlias> copy() const { return std::make_shared<MUDAlias>(*this); }

    static QString aliasModifiedNotification();
    // A non-empty title argument replaces the dictionary's "title". An empty
    // "action" stays empty: the "command" text is never run as a script.
    static std::shared_ptr<MUDAlias> aliasFromDictionaryRepresentation(const QJsonObject& dictionary,
                                                                       const QString& title);
    QJsonObject dictionaryRepresentation() const;

    // True when new, removed, or the working copy differs in a compared
    // field (command is not compared).
    bool isModified() const;
    // Case-insensitive search in title, action and match string.
    bool matchesString(const QString& search) const;

    std::shared_ptr<MUDAlias> modifiedInstance() const { return m_modifiedInstance; }
    void setModifiedInstance(std::shared_ptr<MUDAlias> instance) { m_modifiedInstance = std::move(instance); }

    QString title() const { return m_fields.title; }
    void setTitle(const QString& title) { m_fields.title = title; }
    QString command() const { return m_fields.command; }
    // True for a word alias: no script, only a command text that is sent as
    // if typed in place of the alias's keyword.
    bool sendsCommandText() const { return action().isEmpty() && !command().isEmpty(); }
    void setCommand(const QString& command) { m_fields.command = command; }
    bool disabled() const { return m_fields.disabled; }
    void setDisabled(bool disabled) { m_fields.disabled = disabled; }
    bool isDebug() const { return m_fields.isDebug; }
    void setIsDebug(bool isDebug) { m_fields.isDebug = isDebug; }
    int32_t matchType() const { return m_fields.matchType; }
    void setMatchType(int32_t matchType) { m_fields.matchType = matchType; }
    QString matchString() const { return m_fields.matchString; }
    void setMatchString(const QString& matchString) { m_fields.matchString = matchString; }
    bool matchFromStartOfLine() const { return m_fields.matchFromStartOfLine; }
    void setMatchFromStartOfLine(bool value) { m_fields.matchFromStartOfLine = value; }
    bool caseSpecific() const { return m_fields.caseSpecific; }
    void setCaseSpecific(bool caseSpecific) { m_fields.caseSpecific = caseSpecific; }
    QString action() const { return m_fields.action; }
    void setAction(const QString& action) { m_fields.action = action; }
    bool isNew() const { return m_fields.isNew; }
    void setIsNew(bool isNew) { m_fields.isNew = isNew; }
    bool isRemoved() const { return m_fields.isRemoved; }
    void setIsRemoved(bool isRemoved) { m_fields.isRemoved = isRemoved; }
    QString parentURL() const { return m_fields.parentURL; }
    void setParentURL(const QString& parentURL) { m_fields.parentURL = parentURL; }

private:
    // What change detection compares with the working copy.
    struct ComparedFields {
        bool isDebug = false;
        bool disabled = false;
        int32_t matchType = 0;
        bool caseSpecific = false;
        bool matchFromStartOfLine = false;
        MUDRecordFields::Text title;
        MUDRecordFields::Text matchString;
        MUDRecordFields::Text action;
        MUDRecordFields::Location parentURL;
        bool operator==(const ComparedFields&) const = default;
    };
    // Everything a copy carries.
    struct Fields : ComparedFields {
        QString command;
        bool isNew = false;
        bool isRemoved = false;
    };

    std::shared_ptr<MUDAlias> m_modifiedInstance;
    Fields m_fields;
};
