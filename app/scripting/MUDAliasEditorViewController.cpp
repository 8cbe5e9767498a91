#include "app/scripting/MUDAliasEditorViewController.h"

#include <QComboBox>

#include "engine/automation/MUDAlias.h"

namespace {
// Item 0 of the alias pop-up stands for match type 1, item 1 for type 0.
constexpr int kMatchTypeOfItem0 = 1;
}

MUDAliasEditorViewController::MUDAliasEditorViewController(QWidget* parent)
    : MUDActionEditorViewController(parent)
{
    patternPopup()->addItem(QStringLiteral("Regular expression"));
    patternPopup()->addItem(QStringLiteral("Starts with"));
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
    values.patternItem = shown.matchType() == 0 ? 1 : 0;
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
    applyField(*copy, field, value, kMatchTypeOfItem0);
    emit modifiedEntryNeedsDisplay();
}
