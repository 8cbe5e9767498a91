#include "app/scripting/MUDRegexField.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTextCharFormat>

MUDRegexField::MUDRegexField(QWidget* parent)
    : QLineEdit(parent)
{
    // Colours placed for the old text would land on the wrong characters.
    connect(this, &QLineEdit::textEdited, this, [this] {
        m_typing = true;
        if (!m_spans.isEmpty())
            setColoredSpans({});
    });
    connect(this, &QLineEdit::editingFinished, this, [this] { m_typing = false; });
}

void MUDRegexField::setColoredSpans(const QList<MUDRegexColoring::Span>& spans)
{
    m_spans = spans;
    // A line edit paints formats handed to it as input-method attributes
    // (relative to the cursor) over its text, which stays plain.
    QList<QInputMethodEvent::Attribute> attributes;
    for (const MUDRegexColoring::Span& span : spans) {
        QTextCharFormat format;
        format.setForeground(span.color);
        attributes.append(QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat,
                                                       int(span.range.location) - cursorPosition(),
                                                       int(span.range.length), format));
    }
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(this, &event);
}

void MUDRegexField::keyPressEvent(QKeyEvent* event)
{
    QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        event->accept();
}
