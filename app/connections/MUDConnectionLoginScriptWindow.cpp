#include "app/connections/MUDConnectionLoginScriptWindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/views/CVHighlightableTextView.h"
#include "app/views/CVTextStorage.h"
#include "app/views/MUDFontHelper.h"
#include "engine/highlighting/JSONHighlighter.h"

MUDConnectionLoginScriptWindow::MUDConnectionLoginScriptWindow(const QString& script, QWidget* parent)
    : CVWindowController(parent)
    , m_script(script.isNull() ? QString(QLatin1String("")) : script)
    , m_textView(new CVHighlightableTextView)
{
    setObjectName(QStringLiteral("MUDConnectionLoginScriptWindow"));
    setWindowTitle(tr("Login script"));
    m_textView->setFont(
        MUDFontHelper::monospacedFontOfSize(QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSizeF()));
    m_textView->setSyntaxHighlighter(std::make_unique<JSONHighlighter>(m_textView->textStorage()));
    m_textView->setPlainText(m_script);
    m_textView->highlight();
    m_textView->setCancelBlock([this] { onCancel(); });

    auto* hint = new QLabel(tr("Runs after logging in, as JavaScript: app.command(\"look\");"));
    hint->setForegroundRole(QPalette::PlaceholderText);
    auto* cancelButton = new QPushButton(tr("Cancel"));
    auto* saveButton = new QPushButton(tr("Save"));
    saveButton->setAutoDefault(false);
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, &MUDConnectionLoginScriptWindow::onCancel);
    connect(saveButton, &QPushButton::clicked, this, &MUDConnectionLoginScriptWindow::onSave);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(saveButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_textView, 1);
    layout->addLayout(buttons);
    setMinimumSize(560, 320);
}

QString MUDConnectionLoginScriptWindow::script() const
{
    return m_textView->toPlainText();
}

void MUDConnectionLoginScriptWindow::onSave()
{
    endSheetWithReturnCode(1);
}

void MUDConnectionLoginScriptWindow::onCancel()
{
    endSheetWithReturnCode(0);
}
