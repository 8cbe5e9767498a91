#include "engine/automation/MUDAlias.h"

#include "engine/automation/MUDRecordFields.h"

using namespace MUDRecordFields;

MUDAlias::MUDAlias(const MUDAlias& other)
    : CVCopyingObject(other)
    , m_title(other.m_title)
    , m_command(other.m_command)
    , m_disabled(other.m_disabled)
    , m_isDebug(other.m_isDebug)
    , m_matchType(other.m_matchType)
    , m_matchString(other.m_matchString)
    , m_matchFromStartOfLine(other.m_matchFromStartOfLine)
    , m_caseSpecific(other.m_caseSpecific)
    , m_action(other.m_action)
    , m_isNew(other.m_isNew)
    , m_isRemoved(other.m_isRemoved)
    , m_parentURL(other.m_parentURL)
{
}

QStringList MUDAlias::propertiesToSkipForCopy() const
{
    return {QStringLiteral("modifiedInstance")};
}

QString MUDAlias::aliasModifiedNotification()
{
    return QStringLiteral("com.corvane.quarrow.aliasModified");
}

std::shared_ptr<MUDAlias> MUDAlias::aliasFromDictionaryRepresentation(const QJsonObject& dictionary,
                                                                    const QString& title)
{
    auto alias = std::make_shared<MUDAlias>();
    alias->m_command = stringOrNone(dictionary.value(QLatin1String("command")));
    alias->m_matchString = stringOrNone(dictionary.value(QLatin1String("matchString")));
    alias->m_matchType = signed32(dictionary.value(QLatin1String("matchType")));
    alias->m_matchFromStartOfLine = truthValue(dictionary.value(QLatin1String("matchFromStartOfLine")));
    alias->m_title = stringOrNone(dictionary.value(QLatin1String("title")));
    alias->m_action = stringOrNone(dictionary.value(QLatin1String("action")));
    alias->m_disabled = truthValue(dictionary.value(QLatin1String("disabled")));
    alias->m_isDebug = truthValue(dictionary.value(QLatin1String("isDebug")));
    alias->m_caseSpecific = truthValue(dictionary.value(QLatin1String("caseSpecific")));
    if (!title.isEmpty())
        alias->m_title = title;
    return alias;
}

QJsonObject MUDAlias::dictionaryRepresentation() const
{
    const auto text = [](const QString& value) { return value.isNull() ? QStringLiteral("") : value; };
    return QJsonObject{
        {QStringLiteral("title"), text(m_title)},
        {QStringLiteral("action"), text(m_action)},
        {QStringLiteral("command"), text(m_command)},
        {QStringLiteral("matchString"), text(m_matchString)},
        {QStringLiteral("matchType"), static_cast<double>(static_cast<uint32_t>(m_matchType))},
        {QStringLiteral("matchFromStartOfLine"), m_matchFromStartOfLine},
        {QStringLiteral("caseSpecific"), m_caseSpecific},
        {QStringLiteral("disabled"), m_disabled},
        {QStringLiteral("isDebug"), m_isDebug},
    };
}

bool MUDAlias::isModified() const
{
    if (m_isNew || m_isRemoved)
        return true;
    const MUDAlias* copy = m_modifiedInstance.get();
    if (!copy)
        return false;
    return m_isDebug != copy->m_isDebug || m_disabled != copy->m_disabled || m_matchType != copy->m_matchType
        || m_caseSpecific != copy->m_caseSpecific || m_matchFromStartOfLine != copy->m_matchFromStartOfLine
        || !sameString(m_title, copy->m_title) || !sameString(m_matchString, copy->m_matchString)
        || !sameString(m_action, copy->m_action) || !sameLocation(m_parentURL, copy->m_parentURL);
}

bool MUDAlias::matchesString(const QString& search) const
{
    return fieldContains(m_title, search) || fieldContains(m_action, search) || fieldContains(m_matchString, search);
}
