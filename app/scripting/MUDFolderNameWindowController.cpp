#include "app/scripting/MUDFolderNameWindowController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

MUDFolderNameWindowController::MUDFolderNameWindowController(const QString& folderName, QWidget* parent)
    : CVWindowController(parent)
    , m_nameField(new QLineEdit(this))
    , m_okButton(new QPushButton(QStringLiteral("OK"), this))
{
    setWindowTitle(QStringLiteral("Folder name"));
    if (!folderName.isEmpty())
        m_nameField->setText(folderName);
    m_nameField->setMinimumWidth(260);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_okButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Folder name:"), this));
    layout->addWidget(m_nameField);
    layout->addLayout(buttons);
    connect(m_okButton, &QPushButton::clicked, this, &MUDFolderNameWindowController::onOK);
    connect(cancel, &QPushButton::clicked, this, [this] { endSheetWithReturnCode(0); });
}

QString MUDFolderNameWindowController::folderName() const
{
    return m_nameField->text();
}

void MUDFolderNameWindowController::onOK()
{
    if (!folderName().isEmpty()) {
        endSheetWithReturnCode(1);
        return;
    }
    if (m_alert)
        return;
    m_alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Folder name reqired"),
                              QStringLiteral("Folder name reqired"), QMessageBox::Ok, this);
    m_alert->setInformativeText(QStringLiteral("You must enter a folder name"));
    m_alert->setWindowModality(Qt::WindowModal);
    m_alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_alert, &QObject::destroyed, this, [this] { m_alert = nullptr; });
    m_alert->open();
}
