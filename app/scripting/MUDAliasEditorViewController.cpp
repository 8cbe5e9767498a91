#include "app/scripting/MUDAliasEditorViewController.h"

#include <QComboBox>

#include "engine/automation/MUDAlias.h"

MUDAliasEditorViewController::MUDAliasEditorViewController(QWidget* parent)
    : MUDActionEditorViewController(parent)
{
    // Item 0 stands for match type 1, item 1 for type 0.
    patternPopup()->addItem(QStringLiteral("Regular expression"), 1);
    patternPopup()->addItem(QStringLiteral("Starts with"), 0);
    buttonRow()->hide();
    setAlias(nullptr);
}

void MUDAliasEditorViewController::setAlias(std::shared_ptr<MUDAlias> alias)
{
    m_currentAlias = std::move(alias);
    if (!m_currentAlias) {
        showValues(nullptr, false);
        return;
    }
    const auto copy = m_currentAlias->modifiedInstance();
    const MUDAlias& shown = copy ? *copy : *m_currentAlias;
    Values values;
    values.title = shown.title();
    values.enabled = !shown.disabled();
    values.debug = shown.isDebug();
    values.matchFromStartOfLine = shown.matchFromStartOfLine();
    values.caseSpecific = shown.caseSpecific();
    values.matchType = shown.matchType();
    values.matchString = shown.matchString();
    values.action = shown.action();
    showValues(&values, false);
}

std::shared_ptr<MUDAlias> MUDAliasEditorViewController::aliasForModification()
{
    return workingCopy(m_currentAlias);
}

void MUDAliasEditorViewController::edit(Field field, const QVariant& value)
{
    const auto copy = aliasForModification();
    if (!copy)
        return;
    applyField(*copy, field, value);
    emit modifiedEntryNeedsDisplay();
}
