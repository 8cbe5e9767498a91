#include "engine/automation/MUDAlias.h"

#include "engine/automation/MUDRecordFields.h"

using namespace MUDRecordFields;

MUDAlias::MUDAlias(const MUDAlias& other)
    : CVCopyingObject(other)
    , m_fields(other.m_fields)
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
    Fields& fields = alias->m_fields;
    fields.command = stringOrNone(dictionary.value(QLatin1String("command")));
    fields.matchString = stringOrNone(dictionary.value(QLatin1String("matchString")));
    fields.matchType = signed32(dictionary.value(QLatin1String("matchType")));
    fields.matchFromStartOfLine = truthValue(dictionary.value(QLatin1String("matchFromStartOfLine")));
    fields.title = stringOrNone(dictionary.value(QLatin1String("title")));
    fields.action = stringOrNone(dictionary.value(QLatin1String("action")));
    fields.disabled = truthValue(dictionary.value(QLatin1String("disabled")));
    fields.isDebug = truthValue(dictionary.value(QLatin1String("isDebug")));
    fields.caseSpecific = truthValue(dictionary.value(QLatin1String("caseSpecific")));
    if (!title.isEmpty())
        fields.title = title;
    return alias;
}

QJsonObject MUDAlias::dictionaryRepresentation() const
{
    return QJsonObject{
        {QStringLiteral("title"), textOrEmpty(m_fields.title)},
        {QStringLiteral("action"), textOrEmpty(m_fields.action)},
        {QStringLiteral("command"), textOrEmpty(m_fields.command)},
        {QStringLiteral("matchString"), textOrEmpty(m_fields.matchString)},
        {QStringLiteral("matchType"), static_cast<double>(static_cast<uint32_t>(m_fields.matchType))},
        {QStringLiteral("matchFromStartOfLine"), m_fields.matchFromStartOfLine},
        {QStringLiteral("caseSpecific"), m_fields.caseSpecific},
        {QStringLiteral("disabled"), m_fields.disabled},
        {QStringLiteral("isDebug"), m_fields.isDebug},
    };
}

bool MUDAlias::isModified() const
{
    if (m_fields.isNew || m_fields.isRemoved)
        return true;
    const MUDAlias* copy = m_modifiedInstance.get();
    if (!copy)
        return false;
    const ComparedFields& mine = m_fields;
    const ComparedFields& theirs = copy->m_fields;
    return mine != theirs;
}

bool MUDAlias::matchesString(const QString& search) const
{
    return fieldContains(m_fields.title, search) || fieldContains(m_fields.action, search) ||
           fieldContains(m_fields.matchString, search);
}
