#pragma once

#include <memory>

#include "app/scripting/MUDActionEditorViewController.h"

class MUDTrigger;
class QPushButton;

// The trigger editor. Every edit goes to the trigger's working copy and
// (except the enabled and debugging flags) is broadcast as a match test,
// so sessions show live what the pattern would match. The match field
// shows a regular expression in colour while it is not being edited. The
// login pseudo-trigger leaves only its action editable. Main thread.
class MUDTriggerEditorViewController : public MUDActionEditorViewController {
    Q_OBJECT
public:
    explicit MUDTriggerEditorViewController(QWidget* parent = nullptr);

    void setTrigger(std::shared_ptr<MUDTrigger> trigger);
    std::shared_ptr<MUDTrigger> currentTrigger() const { return m_currentTrigger; }
    // The working copy, made first when missing; null with no trigger shown.
    std::shared_ptr<MUDTrigger> triggerForModification();

    // Posts the shown trigger's match settings, or clears the test.
    void postCurrentStateAsTest();
    // Colours the match field when the trigger is a regular expression and
    // the field is not being edited; otherwise shows it plain.
    void highlightRegexInputIfNeeded();
    QPushButton* regexTesterButton() const { return m_regexTesterButton; }

signals:
    // The user asked for the regex tester with the current pattern.
    void regexTesterRequested(const QString& pattern);

protected:
    void edit(Field field, const QVariant& value) override;

private:
    std::shared_ptr<MUDTrigger> m_currentTrigger;
    QPushButton* m_regexTesterButton;
};
