#pragma once

#include <QStringList>
#include <QTextCharFormat>
#include <memory>

#include "core/CVAttributedString.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/decoding/MUDTextAttributes.h"

// A trigger as the rows of the trigger tests describe it.
struct TriggerSpec {
    QString pattern;
    int32_t matchType = MUDTrigger::kMatchPlainText;
    bool fromStartOfLine = false;
    bool caseSpecific = false;
    QString action = {};
    QString title = QStringLiteral("t");
};

inline std::shared_ptr<MUDTrigger> makeTrigger(const TriggerSpec& spec)
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(spec.title);
    trigger->setMatchString(spec.pattern);
    trigger->setMatchType(spec.matchType);
    trigger->setMatchFromStartOfLine(spec.fromStartOfLine);
    trigger->setCaseSpecific(spec.caseSpecific);
    trigger->setAction(spec.action);
    return trigger;
}

inline std::shared_ptr<MUDTrigger> regexTrigger(const QString& pattern, bool fromStartOfLine = false)
{
    return makeTrigger({pattern, MUDTrigger::kMatchRegularExpression, fromStartOfLine});
}

// Text with the stretches between [[ and ]] marked as echoed user input.
inline CVAttributedString output(const QString& marked)
{
    CVAttributedString text;
    QTextCharFormat echoed;
    echoed.setProperty(MUDUserCommandProperty, true);
    const QStringList parts = marked.split(QStringLiteral("[["));
    text.append(parts.first(), QTextCharFormat());
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype close = parts[i].indexOf(QStringLiteral("]]"));
        text.append(QStringView(parts[i]).left(close), echoed);
        text.append(QStringView(parts[i]).mid(close + 2), QTextCharFormat());
    }
    return text;
}
