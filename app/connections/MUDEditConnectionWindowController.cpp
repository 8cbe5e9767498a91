#include "app/connections/MUDEditConnectionWindowController.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/connections/MUDConnectionLoginScriptWindow.h"
#include "app/views/MUDImageLibrary.h"
#include "core/CVLogHelper.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDTextEncoding.h"
#include "engine/storage/MUDConnectionKeyring.h"
#include "engine/storage/MUDKeyring.h"
#include "engine/storage/MUDPreservation.h"

namespace {
constexpr int IconSize = 96;
// TCP ports end here; anything larger could never be reached.
constexpr quint64 HighestPort = 65535;

// The leading ASCII digits of the trimmed text.
QString leadingDigits(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && trimmed[digits].isDigit() && trimmed[digits].unicode() < 128)
        ++digits;
    return trimmed.left(digits);
}
} // namespace

MUDEditConnectionWindowController::MUDEditConnectionWindowController(std::shared_ptr<MUDConnection> connection,
                                                                     QWidget* parent)
    : CVWindowController(parent)
    , m_connection(std::move(connection))
{
    m_connection->setModifiedInstance(m_connection->copy());
    buildInterface();
    fillFields();
}

MUDEditConnectionWindowController::~MUDEditConnectionWindowController() = default;

MUDConnectionLoginScriptWindow* MUDEditConnectionWindowController::loginScriptWindowController() const
{
    return m_loginScriptWindowController;
}

QMessageBox* MUDEditConnectionWindowController::errorAlert() const
{
    return m_errorAlert;
}

void MUDEditConnectionWindowController::buildInterface()
{
    setObjectName(QStringLiteral("MUDEditConnectionWindow"));
    m_iconButton = new QToolButton;
    m_iconButton->setIconSize(QSize(IconSize, IconSize));
    m_iconButton->setToolTip(tr("Pick a picture for this connection"));
    m_iconButton->setAccessibleName(tr("Picture"));
    m_iconButton->setAutoRaise(true);
    connect(m_iconButton, &QToolButton::clicked, this, &MUDEditConnectionWindowController::onClickedImage);

    m_titleField = new QLineEdit;
    m_titleField->setPlaceholderText(tr("My game"));
    m_serverAddressField = new QLineEdit;
    m_serverAddressField->setPlaceholderText(tr("game.example.org"));
    m_serverPortField = new QLineEdit;
    m_serverPortField->setPlaceholderText(tr("4000"));
    m_userField = new QLineEdit;
    m_userField->setPlaceholderText(tr("optional"));
    m_passwordField = new QLineEdit;
    m_passwordField->setEchoMode(QLineEdit::Password);
    m_passwordField->setPlaceholderText(tr("optional"));
    m_keyringCheckbox = new QCheckBox(tr("Keep password in the system keyring"));
    m_reconnectCheckbox = new QCheckBox(tr("Reconnect automatically"));
    m_secureCheckbox = new QCheckBox(tr("Secure connection (TLS)"));
    m_telnetOptionsCheckbox = new QCheckBox(tr("Negotiate telnet options"));
    m_telnetOptionsCheckbox->setToolTip(tr("Tell the server the window size and terminal type, agree on UTF-8, "
                                           "compression and game data"));
    m_textEncodingPopUp = new QComboBox;
    for (const QString& name : MUDTextEncoding::choices())
        m_textEncodingPopUp->addItem(MUDTextEncoding::displayName(name), name);

    auto* form = new QFormLayout;
    form->addRow(tr("Title:"), m_titleField);
    form->addRow(tr("Server address:"), m_serverAddressField);
    form->addRow(tr("Server port:"), m_serverPortField);
    form->addRow(tr("User:"), m_userField);
    form->addRow(tr("Password:"), m_passwordField);
    form->addRow(QString(), m_keyringCheckbox);
    form->addRow(QString(), m_reconnectCheckbox);
    form->addRow(QString(), m_secureCheckbox);
    form->addRow(QString(), m_telnetOptionsCheckbox);
    form->addRow(tr("Text encoding:"), m_textEncodingPopUp);

    auto* top = new QHBoxLayout;
    top->addWidget(m_iconButton, 0, Qt::AlignTop);
    top->addLayout(form, 1);

    auto* loginScriptButton = new QPushButton(tr("Login Script..."));
    auto* cancelButton = new QPushButton(tr("Cancel"));
    auto* saveButton = new QPushButton(tr("Save"));
    saveButton->setDefault(true);
    connect(loginScriptButton, &QPushButton::clicked, this, &MUDEditConnectionWindowController::onLoginScript);
    connect(cancelButton, &QPushButton::clicked, this, &MUDEditConnectionWindowController::onCancel);
    connect(saveButton, &QPushButton::clicked, this, &MUDEditConnectionWindowController::onSave);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(loginScriptButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(saveButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(480);
}

void MUDEditConnectionWindowController::fillFields()
{
    const MUDConnection& connection = *m_connection;
    // A new connection has no folder yet, so no picture to look for.
    QImage image;
    if (!connection.title().isEmpty())
        image.load(MUDPreservation::imageURLForConnection(connection));
    m_iconButton->setIcon(image.isNull() ? QIcon(MUDImageLibrary::imageNamed(QStringLiteral("AppIcon"), IconSize))
                                         : QIcon(QPixmap::fromImage(image)));

    m_titleField->setText(connection.title());
    m_serverAddressField->setText(connection.host());
    m_userField->setText(connection.user());
    m_passwordField->setText(connection.password());
    // Port 0 means none: the field starts empty rather than with a "0" to delete.
    m_serverPortField->setText(connection.port() == 0 ? QString() : QString::number(connection.port()));
    m_reconnectCheckbox->setChecked(connection.automaticallyReconnect());
    m_secureCheckbox->setChecked(connection.isSecure());
    m_telnetOptionsCheckbox->setChecked(connection.negotiatesTelnetOptions());
    // A name this version does not offer is kept as it is.
    int encodingIndex = m_textEncodingPopUp->findData(connection.textEncoding(), Qt::UserRole, Qt::MatchFixedString);
    if (encodingIndex < 0) {
        m_textEncodingPopUp->addItem(connection.textEncoding(), connection.textEncoding());
        encodingIndex = m_textEncodingPopUp->count() - 1;
    }
    m_textEncodingPopUp->setCurrentIndex(encodingIndex);
    fillKeyringPassword();

    if (!connection.title().isEmpty()) {
        setWindowTitle(tr("Edit connection"));
    } else {
        setWindowTitle(tr("New connection"));
        m_titleField->setFocus();
        m_titleField->setCursorPosition(int(m_titleField->text().size()));
    }
}

void MUDEditConnectionWindowController::fillKeyringPassword()
{
    MUDConnection& working = *m_connection->modifiedInstance();
    m_keyringCheckbox->setChecked(working.passwordInKeyring());
    QString reason;
    if (!MUDKeyring::isAvailable(&reason)) {
        m_keyringCheckbox->setEnabled(false);
        m_keyringCheckbox->setToolTip(tr("No system keyring answers: %1").arg(reason));
        return;
    }
    if (!MUDConnectionKeyring::fetchPassword(working, &reason)) {
        m_keyringCheckbox->setEnabled(false);
        m_keyringCheckbox->setToolTip(tr("The system keyring did not give the password: %1").arg(reason));
        return;
    }
    m_passwordField->setText(working.password());
}

bool MUDEditConnectionWindowController::storeKeyringPassword(QString* error)
{
    const MUDConnection& working = *m_connection->modifiedInstance();
    if (m_keyringCheckbox->isEnabled())
        return MUDConnectionKeyring::storeBeforeSaving(working, error);
    // Without a keyring what it holds stays there; a new password has
    // nowhere to go (the file is not where the player wants it).
    if (working.passwordInKeyring() && !working.password().isEmpty()) {
        *error = m_keyringCheckbox->toolTip();
        return false;
    }
    return true;
}

quint64 MUDEditConnectionWindowController::portFromText(const QString& text)
{
    // Anything past the port range counts as no port at all.
    bool ok = false;
    const quint64 port = leadingDigits(text).left(10).toULongLong(&ok);
    return ok && port <= HighestPort ? port : 0;
}

void MUDEditConnectionWindowController::onSave()
{
    const std::shared_ptr<MUDConnection> working = m_connection->modifiedInstance();
    working->setTitle(m_titleField->text());
    working->setHost(m_serverAddressField->text());
    working->setUser(m_userField->text());
    working->setPort(portFromText(m_serverPortField->text()));
    working->setPassword(m_passwordField->text());
    working->setAutomaticallyReconnect(m_reconnectCheckbox->isChecked());
    working->setSecure(m_secureCheckbox->isChecked());
    working->setNegotiatesTelnetOptions(m_telnetOptionsCheckbox->isChecked());
    working->setTextEncoding(m_textEncodingPopUp->currentData().toString());
    working->setPasswordInKeyring(m_keyringCheckbox->isChecked());

    if (failsChecks())
        return;
    const bool keptInKeyring = m_connection->passwordInKeyring();
    if (QString keyringError; !storeKeyringPassword(&keyringError)) {
        showErrorMessage(keyringError, tr("Failed to save connection"));
        return;
    }

    CVError error;
    const bool saved = MUDPreservation::saveConnection(*m_connection, &error);
    if (!saved)
        CVLog(QStringLiteral("Failed to save"));
    // A failure without a reason is still a failure: the sheet stays open.
    if (!saved || !error.description.isEmpty()) {
        showErrorMessage(error.description.isEmpty() ? tr("The connection could not be written to the data folder.")
                                                     : error.description,
                         tr("Failed to save connection"));
        return;
    }
    if (m_keyringCheckbox->isEnabled())
        MUDConnectionKeyring::removeAfterSaving(keptInKeyring, *working);
    savePickedImage();
    endSheetWithReturnCode(1);
}

bool MUDEditConnectionWindowController::failsChecks()
{
    const MUDConnection& working = *m_connection->modifiedInstance();
    if (working.host().isEmpty()) {
        failCheck(tr("Server address required"), tr("A server address must be specified to save a connection."),
                  m_serverAddressField);
        return true;
    }
    if (working.port() == 0) {
        // A number was typed, just not one a server can listen on.
        if (!leadingDigits(m_serverPortField->text()).isEmpty())
            failCheck(tr("Invalid server port"), tr("The server port must be between 1 and %1.").arg(HighestPort),
                      m_serverPortField);
        else
            failCheck(tr("Server port required"), tr("A server port must be specified to save a connection."),
                      m_serverPortField);
        return true;
    }
    if (working.user().isEmpty() && !working.password().isEmpty()) {
        failCheck(tr("User required"), tr("When a password is specified, a user must be specified as well."),
                  m_userField);
        return true;
    }
    if (working.title().isEmpty()) {
        failCheck(tr("Title required"), tr("A unique title is required for all connections."), m_titleField);
        return true;
    }
    for (const std::shared_ptr<MUDConnection>& stored : MUDPreservation::loadConnections()) {
        if (stored->connectionId() != m_connection->connectionId() &&
            stored->title().compare(working.title(), Qt::CaseInsensitive) == 0) {
            failCheck(tr("Connection exists"),
                      tr("Another connection exists with this name. All connection names must be unique."),
                      m_titleField);
            return true;
        }
    }
    return false;
}

void MUDEditConnectionWindowController::failCheck(const QString& title, const QString& text, QLineEdit* field)
{
    showErrorMessage(text, title);
    field->setFocus();
    field->setCursorPosition(int(field->text().size()));
    // The alert takes the focus while it is up; give it back when it goes.
    QPointer<QLineEdit> target(field);
    connect(m_errorAlert, &QMessageBox::finished, this, [target] {
        if (target) {
            target->setFocus();
            target->setCursorPosition(int(target->text().size()));
        }
    });
}

void MUDEditConnectionWindowController::showErrorMessage(const QString& text, const QString& title)
{
    auto* alert = new QMessageBox(this);
    alert->setIcon(QMessageBox::Warning);
    alert->setWindowTitle(title);
    alert->setText(title);
    alert->setInformativeText(text);
    alert->addButton(tr("OK"), QMessageBox::AcceptRole);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    m_errorAlert = alert;
    alert->open();
}

void MUDEditConnectionWindowController::onCancel()
{
    endSheetWithReturnCode(0);
}

void MUDEditConnectionWindowController::onClickedImage()
{
    auto* panel = new QFileDialog(this, tr("Pick an image file"));
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setNameFilter(tr("Images (*.png *.jpg)"));
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::fileSelected, this, [this](const QString& path) { setPickedImage(path); });
    panel->open();
}

bool MUDEditConnectionWindowController::setPickedImage(const QString& path)
{
    const QImage image(path);
    if (image.isNull())
        return false;
    m_iconButton->setIcon(QIcon(QPixmap::fromImage(image)));
    m_targetImageURL = path;
    return true;
}

// Written to the working copy's folder: after a rename the record's own
// title names a folder that no longer exists.
void MUDEditConnectionWindowController::savePickedImage()
{
    if (m_targetImageURL.isEmpty())
        return;
    const QImage image(m_targetImageURL);
    if (image.isNull())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return;
    const QString target = MUDPreservation::imageURLForConnection(*m_connection->modifiedInstance());
    CVError error;
    if (!target.isEmpty() && !MUDPreservation::saveData(png, target, &error))
        CVLog(QStringLiteral("MUDEditConnectionWindowController:onSave - Failed to save the picture: %1")
                  .arg(error.description));
}

void MUDEditConnectionWindowController::onLoginScript()
{
    const std::shared_ptr<MUDConnection> working = m_connection->modifiedInstance();
    auto* sheet = new MUDConnectionLoginScriptWindow(working->loginScript(), this);
    m_loginScriptWindowController = sheet;
    sheet->beginSheetModalForWindow(this, [sheet, working](int returnCode) {
        if (returnCode != 0)
            working->setLoginScript(sheet->script());
        sheet->deleteLater();
    });
}
