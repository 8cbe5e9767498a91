// The connection password in the system keyring. The tests named
// KeyringWithSecretService run against a real Secret Service on a private
// bus (with-keyring.sh); those named KeyringWithoutSecretService run with
// the session bus address pointing nowhere (see CMakeLists.txt).
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <optional>

#include "ConnectionsTestSupport.h"
#include "LoopbackServer.h"
#include "TestSupport.h"
#include "app/connections/MUDEditConnectionWindowController.h"
#include "app/session/MUDDocument.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDKeyring.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/RecordingDesktopIntegration.h"

namespace {

const QString kId = QStringLiteral("KEYRING-TEST-ID");

// Clicks where a person clicks a check box: on its box.
void clickCheckBox(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    QTest::mouseClick(box, Qt::LeftButton, {},
                      box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center());
}

QPushButton* buttonTitled(QWidget* parent, const QString& title)
{
    for (QPushButton* button : parent->findChildren<QPushButton*>()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

// The connection's file as stored.
QJsonObject storedFile(const QString& title)
{
    QFile file(MUDPreservation::rootDirectoryForConnections() + "/" + title + ".mud/connection.json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains("s3cret")) << "the password never reaches the file while the keyring keeps it";
    return QJsonDocument::fromJson(bytes).object();
}

QString keyringPassword(const QString& connectionId)
{
    QString error;
    const std::optional<QString> password = MUDKeyring::password(connectionId, &error);
    EXPECT_TRUE(password.has_value()) << error.toStdString();
    return password.value_or(QStringLiteral("<unread>"));
}

}

// The connection editor as a sheet of a window, saved and reopened the way
// a person does it.
class KeyringTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        m_parent.resize(600, 400);
        m_parent.show();
    }
    void TearDown() override
    {
        delete m_editor;
        DataFolderTest::TearDown();
    }

    MUDEditConnectionWindowController* openEditor(std::shared_ptr<MUDConnection> connection)
    {
        delete m_editor;
        m_returnCode.reset();
        m_editor = new MUDEditConnectionWindowController(std::move(connection), &m_parent);
        m_editor->beginSheetModalForWindow(&m_parent, [this](int code) { m_returnCode = code; });
        return m_editor;
    }
    void save() { QTest::mouseClick(buttonTitled(m_editor, QStringLiteral("Save")), Qt::LeftButton); }
    void typePassword(const QString& password)
    {
        m_editor->passwordField()->clear();
        QTest::keyClicks(m_editor->passwordField(), password);
    }

    QWidget m_parent;
    QPointer<MUDEditConnectionWindowController> m_editor;
    std::optional<int> m_returnCode;
};

class KeyringWithSecretService : public KeyringTest { };
class KeyringWithoutSecretService : public KeyringTest { };

TEST_F(KeyringWithSecretService, StoresReadsReplacesAndRemovesPasswordsByConnection)
{
    QString error;
    ASSERT_TRUE(MUDKeyring::isAvailable(&error)) << error.toStdString();
    EXPECT_EQ(keyringPassword(QStringLiteral("NEVER-STORED")), QString());
    ASSERT_TRUE(
        MUDKeyring::storePassword(QStringLiteral("A"), QStringLiteral("first"), QStringLiteral("pw a é"), &error))
        << error.toStdString();
    ASSERT_TRUE(
        MUDKeyring::storePassword(QStringLiteral("B"), QStringLiteral("second"), QStringLiteral("pw b"), &error));
    EXPECT_EQ(keyringPassword(QStringLiteral("A")), QStringLiteral("pw a é"));
    EXPECT_EQ(keyringPassword(QStringLiteral("B")), QStringLiteral("pw b"));
    ASSERT_TRUE(MUDKeyring::storePassword(QStringLiteral("A"), QStringLiteral("first"), QStringLiteral("new"), &error));
    EXPECT_EQ(keyringPassword(QStringLiteral("A")), QStringLiteral("new"));
    ASSERT_TRUE(MUDKeyring::removePassword(QStringLiteral("A"), &error));
    EXPECT_EQ(keyringPassword(QStringLiteral("A")), QString());
    EXPECT_EQ(keyringPassword(QStringLiteral("B")), QStringLiteral("pw b"));
    EXPECT_TRUE(MUDKeyring::removePassword(QStringLiteral("A"), &error)) << "removing what is not there succeeds";
}

TEST_F(KeyringWithSecretService, TheEditorMovesThePasswordIntoTheKeyringAndBackIntoTheFile)
{
    openEditor(storeConnection(QStringLiteral("Vault"), QStringLiteral("127.0.0.1"), 4000, kId));
    QCheckBox* box = m_editor->keyringCheckbox();
    EXPECT_TRUE(box->isEnabled());
    EXPECT_FALSE(box->isChecked()) << "off by default";
    m_editor->userField()->setText(QStringLiteral("me"));
    typePassword(QStringLiteral("s3cret"));
    clickCheckBox(box);
    ASSERT_TRUE(box->isChecked());
    save();
    ASSERT_EQ(m_returnCode, 1);

    QJsonObject file = storedFile(QStringLiteral("Vault"));
    EXPECT_EQ(file.size(), 8);
    EXPECT_EQ(file.value(QStringLiteral("password")).toString("<missing>"), QString());
    EXPECT_EQ(file.value(QStringLiteral("passwordInKeyring")), QJsonValue(true));
    EXPECT_EQ(keyringPassword(kId), QStringLiteral("s3cret"));

    // Reopened, the editor shows the keyring's password.
    openEditor(MUDPreservation::loadConnectionById(kId));
    box = m_editor->keyringCheckbox();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(m_editor->passwordField()->text(), QStringLiteral("s3cret"));
    // A changed password replaces the keyring's.
    typePassword(QStringLiteral("s3cret2"));
    save();
    ASSERT_EQ(m_returnCode, 1);
    EXPECT_EQ(keyringPassword(kId), QStringLiteral("s3cret2"));

    // Turned off: the password is back in the file and gone from the keyring.
    openEditor(MUDPreservation::loadConnectionById(kId));
    clickCheckBox(m_editor->keyringCheckbox());
    ASSERT_FALSE(m_editor->keyringCheckbox()->isChecked());
    save();
    ASSERT_EQ(m_returnCode, 1);
    QFile raw(MUDPreservation::rootDirectoryForConnections() + "/Vault.mud/connection.json");
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    file = QJsonDocument::fromJson(raw.readAll()).object();
    EXPECT_EQ(file.keys(), (QStringList{"automaticallyReconnect", "connectionId", "host", "loginScript", "password",
                                        "port", "user"}));
    EXPECT_EQ(file.value(QStringLiteral("password")).toString(), QStringLiteral("s3cret2"));
    EXPECT_EQ(keyringPassword(kId), QString());
}

TEST_F(KeyringWithSecretService, ASessionLogsInWithThePasswordFromTheKeyring)
{
    LoopbackServer server;
    ASSERT_TRUE(server.isListening());
    openEditor(storeConnection(QStringLiteral("Login"), QStringLiteral("127.0.0.1"), server.port(), kId));
    m_editor->userField()->setText(QStringLiteral("me"));
    typePassword(QStringLiteral("s3cret"));
    clickCheckBox(m_editor->keyringCheckbox());
    save();
    ASSERT_EQ(m_returnCode, 1);

    RecordingDesktopIntegration desktop;
    MUDDocument document(&desktop);
    const std::shared_ptr<MUDConnection> stored = MUDPreservation::loadConnectionById(kId);
    ASSERT_TRUE(stored->password().isEmpty()) << "a loaded record holds no password until it is fetched";
    document.setConnection(stored);
    document.connectToServer();
    ASSERT_TRUE(waitUntil([&] { return server.receivedTexts().contains("s3cret"); }));
    EXPECT_EQ(server.receivedTexts(), (QList<QByteArray>{"me", "s3cret"}));
    const QString output = document.output().text({0, document.output().length()});
    EXPECT_TRUE(output.contains(QStringLiteral("Auto-login password: *********")));
    EXPECT_FALSE(output.contains(QStringLiteral("s3cret")));
}

TEST_F(KeyringWithoutSecretService, TheBoxIsDisabledAndSaysWhy)
{
    QElapsedTimer timer;
    timer.start();
    QString reason;
    EXPECT_FALSE(MUDKeyring::isAvailable(&reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_LT(timer.elapsed(), MUDKeyring::TimeoutMs) << "no bus answers at once, without waiting out the limit";

    openEditor(storeConnection(QStringLiteral("Plain"), QStringLiteral("127.0.0.1"), 4000, kId));
    QCheckBox* box = m_editor->keyringCheckbox();
    EXPECT_FALSE(box->isEnabled());
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->toolTip().startsWith(QStringLiteral("No system keyring answers: ")))
        << box->toolTip().toStdString();
    EXPECT_TRUE(box->toolTip().contains(reason));
    clickCheckBox(box);
    EXPECT_FALSE(box->isChecked());
    m_editor->userField()->setText(QStringLiteral("me"));
    typePassword(QStringLiteral("plain"));
    save();
    ASSERT_EQ(m_returnCode, 1);
    QFile raw(MUDPreservation::rootDirectoryForConnections() + "/Plain.mud/connection.json");
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QJsonObject file = QJsonDocument::fromJson(raw.readAll()).object();
    EXPECT_EQ(file.size(), 7);
    EXPECT_EQ(file.value(QStringLiteral("password")).toString(), QStringLiteral("plain"));
}

TEST_F(KeyringWithoutSecretService, AConnectionKeptInTheKeyringStaysSoAndTakesNoNewPassword)
{
    const std::shared_ptr<MUDConnection> stored =
        storeConnection(QStringLiteral("Kept"), QStringLiteral("127.0.0.1"), 4000, kId);
    stored->setModifiedInstance(stored->copy());
    stored->modifiedInstance()->setUser(QStringLiteral("me"));
    stored->modifiedInstance()->setPasswordInKeyring(true);
    ASSERT_TRUE(MUDPreservation::saveConnection(*stored));

    openEditor(MUDPreservation::loadConnectionById(kId));
    QCheckBox* box = m_editor->keyringCheckbox();
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(m_editor->passwordField()->text().isEmpty());

    // A new password has nowhere to go: the sheet says why and stays open.
    typePassword(QStringLiteral("s3cret"));
    save();
    EXPECT_FALSE(m_returnCode.has_value());
    QMessageBox* alert = m_editor->errorAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Failed to save connection"));
    EXPECT_TRUE(alert->informativeText().startsWith(QStringLiteral("No system keyring answers: ")));
    ASSERT_TRUE(clickButton(alert, QStringLiteral("OK")));

    // Other changes save, and the password stays where it is.
    typePassword(QString());
    m_editor->serverPortField()->setText(QStringLiteral("4001"));
    save();
    ASSERT_EQ(m_returnCode, 1);
    const QJsonObject file = storedFile(QStringLiteral("Kept"));
    EXPECT_EQ(file.value(QStringLiteral("port")).toInt(), 4001);
    EXPECT_EQ(file.value(QStringLiteral("passwordInKeyring")), QJsonValue(true));
    EXPECT_EQ(file.value(QStringLiteral("password")).toString("<missing>"), QString());
}
