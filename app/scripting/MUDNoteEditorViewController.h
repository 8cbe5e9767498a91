#pragma once

#include <QWidget>
#include <memory>

class MUDNote;
class QLineEdit;
class QPlainTextEdit;

// The note editor: a title field and the note's text. Any change copies
// both into the note's working copy. Main thread.
class MUDNoteEditorViewController : public QWidget {
    Q_OBJECT
public:
    explicit MUDNoteEditorViewController(QWidget* parent = nullptr);

    void setNote(std::shared_ptr<MUDNote> note);
    std::shared_ptr<MUDNote> currentNote() const { return m_currentNote; }
    // The working copy, made first when missing; null with no note shown.
    std::shared_ptr<MUDNote> noteForModification();

    QLineEdit* titleField() const { return m_titleField; }
    QPlainTextEdit* textView() const { return m_textView; }

signals:
    void modifiedEntryNeedsDisplay();

private:
    void noteChanged();

    std::shared_ptr<MUDNote> m_currentNote;
    QLineEdit* m_titleField;
    QPlainTextEdit* m_textView;
    bool m_showing = false;
};
