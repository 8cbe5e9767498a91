#include "app/views/MUDFindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

MUDFindBar::MUDFindBar(QWidget* parent)
    : QWidget(parent)
    , m_field(new QLineEdit(this))
    , m_status(new QLabel(this))
{
    setAutoFillBackground(true);
    m_field->setPlaceholderText(tr("Find"));
    m_field->setClearButtonEnabled(true);
    auto* previous = new QToolButton(this);
    previous->setArrowType(Qt::UpArrow);
    previous->setToolTip(tr("Find Previous"));
    auto* next = new QToolButton(this);
    next->setArrowType(Qt::DownArrow);
    next->setToolTip(tr("Find Next"));
    auto* done = new QToolButton(this);
    done->setText(tr("Done"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_status);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(done);

    connect(previous, &QToolButton::clicked, this, [this] { emit findRequested(text(), false); });
    connect(next, &QToolButton::clicked, this, [this] { emit findRequested(text(), true); });
    connect(done, &QToolButton::clicked, this, &MUDFindBar::closeRequested);
    connect(m_field, &QLineEdit::textChanged, this, [this](const QString& text) {
        setNotFound(false);
        emit searchTextChanged(text);
    });
}

QString MUDFindBar::text() const
{
    return m_field->text();
}

void MUDFindBar::activate()
{
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void MUDFindBar::setNotFound(bool notFound)
{
    m_status->setText(notFound ? tr("Not found") : QString());
}

void MUDFindBar::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: emit findRequested(text(), !(event->modifiers() & Qt::ShiftModifier)); return;
    case Qt::Key_Escape: emit closeRequested(); return;
    default: QWidget::keyPressEvent(event);
    }
}
