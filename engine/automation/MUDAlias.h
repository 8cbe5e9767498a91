#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <memory>

#include "core/CVCopyingObject.h"

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

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QString command() const { return m_command; }
    // True for a word alias: no script, only a command text that is sent as
    // if typed in place of the alias's keyword.
    bool sendsCommandText() const { return m_action.isEmpty() && !m_command.isEmpty(); }
    void setCommand(const QString& command) { m_command = command; }
    bool disabled() const { return m_disabled; }
    void setDisabled(bool disabled) { m_disabled = disabled; }
    bool isDebug() const { return m_isDebug; }
    void setIsDebug(bool isDebug) { m_isDebug = isDebug; }
    int32_t matchType() const { return m_matchType; }
    void setMatchType(int32_t matchType) { m_matchType = matchType; }
    QString matchString() const { return m_matchString; }
    void setMatchString(const QString& matchString) { m_matchString = matchString; }
    bool matchFromStartOfLine() const { return m_matchFromStartOfLine; }
    void setMatchFromStartOfLine(bool value) { m_matchFromStartOfLine = value; }
    bool caseSpecific() const { return m_caseSpecific; }
    void setCaseSpecific(bool caseSpecific) { m_caseSpecific = caseSpecific; }
    QString action() const { return m_action; }
    void setAction(const QString& action) { m_action = action; }
    bool isNew() const { return m_isNew; }
    void setIsNew(bool isNew) { m_isNew = isNew; }
    bool isRemoved() const { return m_isRemoved; }
    void setIsRemoved(bool isRemoved) { m_isRemoved = isRemoved; }
    QString parentURL() const { return m_parentURL; }
    void setParentURL(const QString& parentURL) { m_parentURL = parentURL; }

private:
    std::shared_ptr<MUDAlias> m_modifiedInstance;
    QString m_title;
    QString m_command;
    bool m_disabled = false;
    bool m_isDebug = false;
    int32_t m_matchType = 0;
    QString m_matchString;
    bool m_matchFromStartOfLine = false;
    bool m_caseSpecific = false;
    QString m_action;
    bool m_isNew = false;
    bool m_isRemoved = false;
    QString m_parentURL;
};
