#include "app/scripting/MUDTriggerEditorViewController.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>

#include "app/scripting/MUDRegexField.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTrigger.h"

MUDTriggerEditorViewController::MUDTriggerEditorViewController(QWidget* parent)
    : MUDActionEditorViewController(parent)
    , m_regexTesterButton(new QPushButton(QStringLiteral("Test Regular Expression..."), buttonRow()))
{
    patternPopup()->addItem(QStringLiteral("Plain text"), MUDTrigger::kMatchPlainText);
    patternPopup()->addItem(QStringLiteral("Regular expression"), MUDTrigger::kMatchRegularExpression);
    patternPopup()->addItem(QStringLiteral("GMCP package"), MUDTrigger::kMatchGMCPPackage);
    buttonRow()->layout()->addWidget(m_regexTesterButton);
    static_cast<QHBoxLayout*>(buttonRow()->layout())->addStretch();
    connect(m_regexTesterButton, &QPushButton::clicked, this,
            [this] { emit regexTesterRequested(matchField()->text()); });
    for (QLineEdit* field : {nameField(), static_cast<QLineEdit*>(matchField())})
        connect(field, &QLineEdit::editingFinished, this,
                [this] { QTimer::singleShot(0, this, [this] { highlightRegexInputIfNeeded(); }); });
    setTrigger(nullptr);
}

void MUDTriggerEditorViewController::setTrigger(std::shared_ptr<MUDTrigger> trigger)
{
    m_currentTrigger = std::move(trigger);
    if (!m_currentTrigger) {
        showValues(nullptr, false);
    } else {
        // The match test reads the working copy, so it is made at once.
        const MUDTrigger& shown = *triggerForModification();
        Values values;
        values.title = shown.title();
        values.enabled = !shown.disabled();
        values.debug = shown.isDebug();
        values.matchFromStartOfLine = shown.matchFromStartOfLine();
        values.caseSpecific = shown.caseSpecific();
        values.matchType = shown.matchType();
        values.matchString = shown.matchString();
        values.action = shown.action();
        showValues(&values, m_currentTrigger->isLoginTrigger());
    }
    m_regexTesterButton->setEnabled(m_currentTrigger && !m_currentTrigger->isLoginTrigger());
    highlightRegexInputIfNeeded();
    postCurrentStateAsTest();
}

std::shared_ptr<MUDTrigger> MUDTriggerEditorViewController::triggerForModification()
{
    return workingCopy(m_currentTrigger);
}

void MUDTriggerEditorViewController::edit(Field field, const QVariant& value)
{
    const auto copy = triggerForModification();
    if (!copy)
        return;
    applyField(*copy, field, value);
    if (field == Field::MatchType)
        highlightRegexInputIfNeeded();
    emit modifiedEntryNeedsDisplay();
    if (field != Field::Enabled && field != Field::Debug)
        postCurrentStateAsTest();
}

void MUDTriggerEditorViewController::postCurrentStateAsTest()
{
    auto& center = MUDNotificationCenter::defaultCenter();
    const auto copy = triggerForModification();
    if (!copy) {
        center.postNotification(MUDMatchTest::mudMatchHasTestNotificationName());
        return;
    }
    const MUDMatchTest test{copy->matchType(), copy->matchString(), copy->matchFromStartOfLine(), copy->caseSpecific()};
    center.postNotification(MUDMatchTest::mudMatchHasTestNotificationName(), QVariant::fromValue(test));
}

void MUDTriggerEditorViewController::highlightRegexInputIfNeeded()
{
    if (matchField()->isBeingEdited())
        return;
    const auto copy = m_currentTrigger ? m_currentTrigger->modifiedInstance() : nullptr;
    const MUDTrigger* shown = copy ? copy.get() : m_currentTrigger.get();
    if (shown && shown->matchType() == MUDTrigger::kMatchRegularExpression)
        matchField()->setColoredSpans(MUDRegexColoring::spansForPattern(shown->matchString()));
    else
        matchField()->setColoredSpans({});
}
