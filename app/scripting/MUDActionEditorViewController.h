#pragma once

#include <QVariant>
#include <QWidget>
#include <memory>

class CVHighlightableTextView;
class MUDRegexField;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The editor pane shared by triggers and aliases: name, enabled, debugging,
// match-from-start and case-specific checkboxes, the pattern pop-up, the
// match field and the JavaScript action view. Shows one record's working
// copy (or the record) and sends every user edit to edit(), which the
// subclass writes into the working copy. Main thread.
class MUDActionEditorViewController : public QWidget {
    Q_OBJECT
public:
    enum class Field { Title, MatchString, Action, MatchFromStartOfLine, CaseSpecific, Enabled, Debug, MatchType };

    explicit MUDActionEditorViewController(QWidget* parent = nullptr);

    QLineEdit* nameField() const { return m_nameField; }
    QCheckBox* enabledCheckbox() const { return m_enabledCheckbox; }
    QCheckBox* debugCheckbox() const { return m_debugCheckbox; }
    QCheckBox* matchFromStartCheckbox() const { return m_fromStartCheckbox; }
    QCheckBox* caseSpecificCheckbox() const { return m_caseSpecificCheckbox; }
    QComboBox* patternPopup() const { return m_patternPopup; }
    MUDRegexField* matchField() const { return m_matchField; }
    CVHighlightableTextView* actionView() const { return m_actionView; }

signals:
    // The record changed: the tree redraws its row.
    void modifiedEntryNeedsDisplay();

protected:
    // The fields a trigger and an alias share, read from the working copy
    // when there is one.
    struct Values {
        QString title;
        bool enabled = false;
        bool debug = false;
        bool matchFromStartOfLine = false;
        bool caseSpecific = false;
        int matchType = 0;
        QString matchString;
        QString action;
    };
    // Fills the controls; without values everything is emptied and disabled.
    // The pattern pop-up shows the item whose data is the match type (the
    // first item for a type it does not offer).
    // With `onlyAction` only the action view stays editable.
    void showValues(const Values* values, bool onlyAction);
    // One user edit of a control.
    virtual void edit(Field field, const QVariant& value) = 0;
    // The subclass adds its own controls (the regex tester button) here.
    QWidget* buttonRow() const { return m_buttonRow; }
    bool isShowingValues() const { return m_showing; }

    // Writes one edit into a trigger's or alias's working copy; the log line
    // of the enabled checkbox names the copy's title.
    template<class Record> static void applyField(Record& copy, Field field, const QVariant& value);
    // The record's working copy, made on the first edit; null without a record.
    template<class Record> static std::shared_ptr<Record> workingCopy(const std::shared_ptr<Record>& record)
    {
        if (!record)
            return nullptr;
        if (!record->modifiedInstance())
            record->setModifiedInstance(record->copy());
        return record->modifiedInstance();
    }

private:
    void connectControls();

    QLineEdit* m_nameField;
    QCheckBox* m_enabledCheckbox;
    QCheckBox* m_debugCheckbox;
    QCheckBox* m_fromStartCheckbox;
    QCheckBox* m_caseSpecificCheckbox;
    QComboBox* m_patternPopup;
    MUDRegexField* m_matchField;
    CVHighlightableTextView* m_actionView;
    QWidget* m_buttonRow;
    bool m_showing = false;
};

#include "core/CVLogHelper.h"

template<class Record> void MUDActionEditorViewController::applyField(Record& copy, Field field, const QVariant& value)
{
    switch (field) {
    case Field::Title: copy.setTitle(value.toString()); break;
    case Field::MatchString: copy.setMatchString(value.toString()); break;
    case Field::Action: copy.setAction(value.toString()); break;
    case Field::MatchFromStartOfLine: copy.setMatchFromStartOfLine(value.toBool()); break;
    case Field::CaseSpecific: copy.setCaseSpecific(value.toBool()); break;
    case Field::Enabled:
        copy.setDisabled(!value.toBool());
        CVLog(QStringLiteral("Setting trigger %1 to %2")
                  .arg(copy.title(), copy.disabled() ? QStringLiteral("disabled") : QStringLiteral("enabled")));
        break;
    case Field::Debug: copy.setIsDebug(value.toBool()); break;
    case Field::MatchType: copy.setMatchType(value.toInt()); break;
    }
}
