#include "app/scripting/MUDNoteEditorViewController.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/views/MUDFontHelper.h"
#include "engine/automation/MUDNote.h"

MUDNoteEditorViewController::MUDNoteEditorViewController(QWidget* parent)
    : QWidget(parent)
    , m_titleField(new QLineEdit(this))
    , m_textView(new QPlainTextEdit(this))
{
    m_titleField->setPlaceholderText(QStringLiteral("Title"));
    m_textView->setFont(MUDFontHelper::monospacedFontOfSize(MUDFontHelper::systemFontSize() + 5));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_titleField);
    layout->addWidget(m_textView, 1);
    connect(m_titleField, &QLineEdit::textEdited, this, &MUDNoteEditorViewController::noteChanged);
    connect(m_textView, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            noteChanged();
    });
    setNote(nullptr);
}

void MUDNoteEditorViewController::setNote(std::shared_ptr<MUDNote> note)
{
    m_currentNote = std::move(note);
    m_showing = true;
    if (m_currentNote) {
        const auto copy = m_currentNote->modifiedInstance();
        const MUDNote& shown = copy ? *copy : *m_currentNote;
        m_titleField->setText(shown.title());
        m_textView->setPlainText(shown.contents());
    } else {
        m_titleField->clear();
        m_textView->clear();
    }
    m_titleField->setEnabled(m_currentNote != nullptr);
    m_textView->setReadOnly(!m_currentNote);
    m_textView->setEnabled(m_currentNote != nullptr);
    m_showing = false;
}

std::shared_ptr<MUDNote> MUDNoteEditorViewController::noteForModification()
{
    if (!m_currentNote)
        return nullptr;
    if (!m_currentNote->modifiedInstance())
        m_currentNote->setModifiedInstance(m_currentNote->copy());
    return m_currentNote->modifiedInstance();
}

void MUDNoteEditorViewController::noteChanged()
{
    const auto copy = noteForModification();
    if (!copy)
        return;
    copy->setTitle(m_titleField->text());
    copy->setContents(m_textView->toPlainText());
    emit modifiedEntryNeedsDisplay();
}
