#include "app/scripting/MUDActionEditorViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "app/scripting/MUDRegexField.h"
#include "app/views/CVHighlightableTextView.h"
#include "app/views/CVTextStorage.h"
#include "app/views/MUDFontHelper.h"
#include "engine/highlighting/JSONHighlighter.h"

MUDActionEditorViewController::MUDActionEditorViewController(QWidget* parent)
    : QWidget(parent)
    , m_nameField(new QLineEdit(this))
    , m_enabledCheckbox(new QCheckBox(QStringLiteral("Enabled"), this))
    , m_debugCheckbox(new QCheckBox(QStringLiteral("Debugging"), this))
    , m_fromStartCheckbox(new QCheckBox(QStringLiteral("Match from start of line"), this))
    , m_caseSpecificCheckbox(new QCheckBox(QStringLiteral("Case specific"), this))
    , m_patternPopup(new QComboBox(this))
    , m_matchField(new MUDRegexField(this))
    , m_actionView(new CVHighlightableTextView(this))
    , m_buttonRow(new QWidget(this))
{
    m_patternPopup->setFrame(false);
    m_patternPopup->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_caseSpecificCheckbox->setMinimumSize(114, 18);
    m_matchField->setPlaceholderText(QStringLiteral("Pattern"));

    m_actionView->setFont(MUDFontHelper::monospacedFontOfSize(MUDFontHelper::systemFontSize()));
    m_actionView->setSyntaxHighlighter(std::make_unique<JSONHighlighter>(m_actionView->textStorage()));
    m_actionView->highlight();

    auto* checkboxes = new QHBoxLayout;
    checkboxes->addWidget(m_enabledCheckbox);
    checkboxes->addWidget(m_debugCheckbox);
    checkboxes->addWidget(m_fromStartCheckbox);
    checkboxes->addStretch();

    auto* pattern = new QHBoxLayout;
    pattern->addWidget(m_patternPopup);
    pattern->addSpacing(10);
    pattern->addWidget(m_caseSpecificCheckbox, 0, Qt::AlignVCenter);
    pattern->addStretch();

    auto* buttons = new QHBoxLayout(m_buttonRow);
    buttons->setContentsMargins(0, 0, 0, 0);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), m_nameField);
    form->addRow(QString(), checkboxes);
    form->addRow(QStringLiteral("Pattern:"), pattern);
    form->addRow(QStringLiteral("Match:"), m_matchField);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_buttonRow);
    layout->addWidget(m_actionView, 1);

    connectControls();
    showValues(nullptr, false);
}

void MUDActionEditorViewController::connectControls()
{
    // textEdited and the clicked signals come from the user only; the action
    // view's textChanged also fires while a record is being shown.
    connect(m_nameField, &QLineEdit::textEdited, this, [this](const QString& text) { edit(Field::Title, text); });
    connect(m_matchField, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit(Field::MatchString, text); });
    connect(m_actionView, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            edit(Field::Action, m_actionView->toPlainText());
    });
    const auto checkbox = [this](QCheckBox* box, Field field) {
        connect(box, &QCheckBox::clicked, this, [this, field](bool checked) { edit(field, checked); });
    };
    checkbox(m_enabledCheckbox, Field::Enabled);
    checkbox(m_debugCheckbox, Field::Debug);
    checkbox(m_fromStartCheckbox, Field::MatchFromStartOfLine);
    checkbox(m_caseSpecificCheckbox, Field::CaseSpecific);
    connect(m_patternPopup, &QComboBox::activated, this, [this](int item) {
        m_patternPopup->adjustSize();
        edit(Field::MatchType, m_patternPopup->itemData(item));
    });
}

void MUDActionEditorViewController::showValues(const Values* values, bool onlyAction)
{
    m_showing = true;
    const Values empty;
    const Values& shown = values ? *values : empty;
    const bool editable = values && !onlyAction;
    m_nameField->setText(shown.title);
    m_enabledCheckbox->setChecked(shown.enabled);
    m_debugCheckbox->setChecked(shown.debug);
    m_fromStartCheckbox->setChecked(shown.matchFromStartOfLine);
    m_caseSpecificCheckbox->setChecked(shown.caseSpecific);
    m_matchField->setText(shown.matchString);
    m_patternPopup->setCurrentIndex(values ? std::max(0, m_patternPopup->findData(shown.matchType)) : 0);
    m_actionView->setPlainText(shown.action);
    for (QWidget* control : {static_cast<QWidget*>(m_nameField), static_cast<QWidget*>(m_enabledCheckbox),
                             static_cast<QWidget*>(m_debugCheckbox), static_cast<QWidget*>(m_fromStartCheckbox),
                             static_cast<QWidget*>(m_caseSpecificCheckbox), static_cast<QWidget*>(m_patternPopup),
                             static_cast<QWidget*>(m_matchField)})
        control->setEnabled(editable);
    m_matchField->setReadOnly(!editable);
    m_actionView->setReadOnly(!values);
    m_actionView->setEnabled(values != nullptr);
    m_actionView->highlight();
    m_showing = false;
}
