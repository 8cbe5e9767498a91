#include "engine/automation/MUDTrigger.h"

#include "engine/automation/MUDRecordFields.h"

using namespace MUDRecordFields;

MUDTrigger::MUDTrigger(const MUDTrigger& other)
    : CVCopyingObject(other)
    , m_compiledRegex(other.compiledRegex())
    , m_isDebug(other.m_isDebug)
    , m_isLoginTrigger(other.m_isLoginTrigger)
    , m_disabled(other.m_disabled)
    , m_title(other.m_title)
    , m_matchType(other.m_matchType)
    , m_matchString(other.m_matchString)
    , m_matchFromStartOfLine(other.m_matchFromStartOfLine)
    , m_caseSpecific(other.m_caseSpecific)
    , m_source(other.m_source)
    , m_action(other.m_action)
    , m_actionType(other.m_actionType)
    , m_isNew(other.m_isNew)
    , m_isRemoved(other.m_isRemoved)
    , m_parentURL(other.m_parentURL)
{
}

QStringList MUDTrigger::propertiesToSkipForCopy() const
{
    return {QStringLiteral("modifiedInstance")};
}

QString MUDTrigger::triggerModifiedNotification()
{
    return QStringLiteral("com.corvane.quarrow.triggerModified");
}

std::shared_ptr<MUDTrigger> MUDTrigger::triggerFromDictionaryRepresentation(const QJsonObject& dictionary,
                                                                          const QString& title)
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->m_title = title;
    trigger->m_disabled = !truthValue(dictionary.value(QLatin1String("enabled")));
    trigger->m_isDebug = truthValue(dictionary.value(QLatin1String("isDebug")));
    trigger->m_matchType = unsigned32(dictionary.value(QLatin1String("matchType")));
    trigger->m_matchString = stringOrNone(dictionary.value(QLatin1String("matchString")));
    trigger->m_matchFromStartOfLine = truthValue(dictionary.value(QLatin1String("matchFromStartOfLine")));
    trigger->m_caseSpecific = truthValue(dictionary.value(QLatin1String("caseSpecific")));
    trigger->m_source = unsigned32(dictionary.value(QLatin1String("matchSource")));
    trigger->m_action = stringOrNone(dictionary.value(QLatin1String("action")));
    trigger->m_actionType = unsigned32(dictionary.value(QLatin1String("actionType")));
    return trigger;
}

QJsonObject MUDTrigger::dictionaryRepresentation() const
{
    const auto unsignedValue = [](int32_t value) { return static_cast<double>(static_cast<uint32_t>(value)); };
    return QJsonObject{
        {QStringLiteral("title"), m_title.isNull() ? QStringLiteral("") : m_title},
        {QStringLiteral("enabled"), m_disabled ? 0 : 1},
        {QStringLiteral("isDebug"), m_isDebug},
        {QStringLiteral("matchType"), unsignedValue(m_matchType)},
        {QStringLiteral("matchString"), m_matchString.isNull() ? QStringLiteral("") : m_matchString},
        {QStringLiteral("matchSource"), unsignedValue(m_source)},
        {QStringLiteral("matchFromStartOfLine"), m_matchFromStartOfLine},
        {QStringLiteral("caseSpecific"), m_caseSpecific},
        {QStringLiteral("action"), m_action.isNull() ? QStringLiteral("") : m_action},
        {QStringLiteral("actionType"), unsignedValue(m_actionType)},
    };
}

bool MUDTrigger::isModified() const
{
    if (m_isNew || m_isRemoved)
        return true;
    const MUDTrigger* copy = m_modifiedInstance.get();
    if (!copy)
        return false;
    return m_isDebug != copy->m_isDebug || m_disabled != copy->m_disabled || m_caseSpecific != copy->m_caseSpecific
        || m_matchType != copy->m_matchType || m_matchFromStartOfLine != copy->m_matchFromStartOfLine
        || m_source != copy->m_source || m_actionType != copy->m_actionType || !sameString(m_title, copy->m_title)
        || !sameString(m_matchString, copy->m_matchString) || !sameString(m_action, copy->m_action)
        || !sameLocation(m_parentURL, copy->m_parentURL);
}

bool MUDTrigger::matchesString(const QString& search) const
{
    return fieldContains(m_title, search) || fieldContains(m_action, search) || fieldContains(m_matchString, search);
}

QString MUDTrigger::description() const
{
    return m_title.isEmpty() ? QStringLiteral("<nil>") : m_title;
}

std::shared_ptr<void> MUDTrigger::compiledRegex() const
{
    std::lock_guard lock(m_compiledRegexMutex);
    return m_compiledRegex;
}

void MUDTrigger::setCompiledRegex(std::shared_ptr<void> compiledRegex)
{
    std::lock_guard lock(m_compiledRegexMutex);
    m_compiledRegex = std::move(compiledRegex);
}
