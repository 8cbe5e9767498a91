#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/CVCopyingObject.h"

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

    bool isDebug() const { return m_isDebug; }
    void setIsDebug(bool isDebug) { m_isDebug = isDebug; }
    bool isLoginTrigger() const { return m_isLoginTrigger; }
    void setIsLoginTrigger(bool isLoginTrigger) { m_isLoginTrigger = isLoginTrigger; }
    bool disabled() const { return m_disabled; }
    void setDisabled(bool disabled) { m_disabled = disabled; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    int32_t matchType() const { return m_matchType; }
    void setMatchType(int32_t matchType) { m_matchType = matchType; }
    QString matchString() const { return m_matchString; }
    void setMatchString(const QString& matchString) { m_matchString = matchString; }
    bool matchFromStartOfLine() const { return m_matchFromStartOfLine; }
    void setMatchFromStartOfLine(bool value) { m_matchFromStartOfLine = value; }
    bool caseSpecific() const { return m_caseSpecific; }
    void setCaseSpecific(bool caseSpecific) { m_caseSpecific = caseSpecific; }
    int32_t source() const { return m_source; }
    void setSource(int32_t source) { m_source = source; }
    QString action() const { return m_action; }
    void setAction(const QString& action) { m_action = action; }
    int32_t actionType() const { return m_actionType; }
    void setActionType(int32_t actionType) { m_actionType = actionType; }
    bool isNew() const { return m_isNew; }
    void setIsNew(bool isNew) { m_isNew = isNew; }
    bool isRemoved() const { return m_isRemoved; }
    void setIsRemoved(bool isRemoved) { m_isRemoved = isRemoved; }
    // The folder that holds (or will hold) the trigger's file; null for none.
    QString parentURL() const { return m_parentURL; }
    void setParentURL(const QString& parentURL) { m_parentURL = parentURL; }

private:
    mutable std::mutex m_compiledRegexMutex;
    std::shared_ptr<void> m_compiledRegex;
    std::shared_ptr<MUDTrigger> m_modifiedInstance;
    bool m_isDebug = false;
    bool m_isLoginTrigger = false;
    bool m_disabled = false;
    QString m_title;
    int32_t m_matchType = kMatchPlainText;
    QString m_matchString;
    bool m_matchFromStartOfLine = false;
    bool m_caseSpecific = false;
    int32_t m_source = 0;
    QString m_action;
    int32_t m_actionType = 0;
    bool m_isNew = false;
    bool m_isRemoved = false;
    QString m_parentURL;
};
