#include "engine/automation/MUDTrigger.h"

#include "engine/automation/MUDRecordFields.h"

using namespace MUDRecordFields;

MUDTrigger::MUDTrigger(const MUDTrigger& other)
    : CVCopyingObject(other)
    , m_compiledRegex(other.compiledRegex())
    , m_fields(other.m_fields)
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
    Fields& fields = trigger->m_fields;
    fields.title = title;
    fields.disabled = !truthValue(dictionary.value(QLatin1String("enabled")));
    fields.isDebug = truthValue(dictionary.value(QLatin1String("isDebug")));
    fields.matchType = unsigned32(dictionary.value(QLatin1String("matchType")));
    fields.matchString = stringOrNone(dictionary.value(QLatin1String("matchString")));
    fields.matchFromStartOfLine = truthValue(dictionary.value(QLatin1String("matchFromStartOfLine")));
    fields.caseSpecific = truthValue(dictionary.value(QLatin1String("caseSpecific")));
    fields.source = unsigned32(dictionary.value(QLatin1String("matchSource")));
    fields.action = stringOrNone(dictionary.value(QLatin1String("action")));
    fields.actionType = unsigned32(dictionary.value(QLatin1String("actionType")));
    return trigger;
}

QJsonObject MUDTrigger::dictionaryRepresentation() const
{
    const auto unsignedValue = [](int32_t value) { return static_cast<double>(static_cast<uint32_t>(value)); };
    return QJsonObject{
        {QStringLiteral("title"), textOrEmpty(m_fields.title)},
        {QStringLiteral("enabled"), m_fields.disabled ? 0 : 1},
        {QStringLiteral("isDebug"), m_fields.isDebug},
        {QStringLiteral("matchType"), unsignedValue(m_fields.matchType)},
        {QStringLiteral("matchString"), textOrEmpty(m_fields.matchString)},
        {QStringLiteral("matchSource"), unsignedValue(m_fields.source)},
        {QStringLiteral("matchFromStartOfLine"), m_fields.matchFromStartOfLine},
        {QStringLiteral("caseSpecific"), m_fields.caseSpecific},
        {QStringLiteral("action"), textOrEmpty(m_fields.action)},
        {QStringLiteral("actionType"), unsignedValue(m_fields.actionType)},
    };
}

bool MUDTrigger::isModified() const
{
    if (m_fields.isNew || m_fields.isRemoved)
        return true;
    const MUDTrigger* copy = m_modifiedInstance.get();
    if (!copy)
        return false;
    const ComparedFields& mine = m_fields;
    const ComparedFields& theirs = copy->m_fields;
    return mine != theirs;
}

bool MUDTrigger::matchesString(const QString& search) const
{
    return fieldContains(m_fields.title, search) || fieldContains(m_fields.action, search) ||
           fieldContains(m_fields.matchString, search);
}

QString MUDTrigger::description() const
{
    const QString& title = m_fields.title;
    return title.isEmpty() ? QStringLiteral("<nil>") : title;
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
