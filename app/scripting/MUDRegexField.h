#pragma once

#include <QLineEdit>
#include <QList>

#include "app/scripting/MUDRegexColoring.h"

// The trigger editor's match field: a line edit that can show a pattern in
// the colours of MUDRegexColoring without changing its text. Typing drops
// the colours; the editor brings them back when editing ends (Return or
// leaving the field). Main thread.
class MUDRegexField : public QLineEdit {
    Q_OBJECT
public:
    explicit MUDRegexField(QWidget* parent = nullptr);

    // Colours the current text; an empty list shows it plain.
    void setColoredSpans(const QList<MUDRegexColoring::Span>& spans);
    QList<MUDRegexColoring::Span> coloredSpans() const { return m_spans; }
    // Whether the user is typing in the field: from the first change until
    // Return or the loss of focus.
    bool isBeingEdited() const { return m_typing && hasFocus(); }

protected:
    // Return ends the editing here instead of accepting the whole window.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<MUDRegexColoring::Span> m_spans;
    bool m_typing = false;
};
