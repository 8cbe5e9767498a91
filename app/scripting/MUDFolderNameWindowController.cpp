#include "app/scripting/MUDFolderNameWindowController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/storage/MUDPreservation.h"

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
    const QString name = folderName();
    QString reason;
    if (name.trimmed().isEmpty())
        showAlert(QStringLiteral("Folder name reqired"), QStringLiteral("You must enter a folder name"));
    else if (!MUDPreservation::isValidFolderName(name, &reason))
        showAlert(QStringLiteral("Folder name not allowed"), reason);
    else
        endSheetWithReturnCode(1);
}

void MUDFolderNameWindowController::showAlert(const QString& message, const QString& informativeText)
{
    if (m_alert)
        return;
    m_alert = new QMessageBox(QMessageBox::Warning, message, message, QMessageBox::Ok, this);
    m_alert->setInformativeText(informativeText);
    m_alert->setWindowModality(Qt::WindowModal);
    m_alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_alert, &QObject::destroyed, this, [this] { m_alert = nullptr; });
    m_alert->open();
}
