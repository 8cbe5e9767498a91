#include "app/connections/MUDEditConnectionWindowController.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "ConnectionsTestSupport.h"
#include "TestSupport.h"
#include "app/connections/MUDConnectionLoginScriptWindow.h"
#include "app/connections/MUDConnectionsWindowController.h"
#include "app/views/CVHighlightableTextView.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {
// An editor shown as a sheet of its own parent window, recording how it ended.
struct OpenEditor {
    QWidget parent;
    MUDEditConnectionWindowController* editor = nullptr;
    std::optional<int> returnCode;

    explicit OpenEditor(std::shared_ptr<MUDConnection> connection)
    {
        parent.resize(600, 400);
        parent.show();
        editor = new MUDEditConnectionWindowController(std::move(connection), &parent);
        editor->beginSheetModalForWindow(&parent, [this](int code) { returnCode = code; });
    }

    void fill(const QString& title, const QString& host, const QString& port, const QString& user = {},
              const QString& password = {})
    {
        editor->titleField()->setText(title);
        editor->serverAddressField()->setText(host);
        editor->serverPortField()->setText(port);
        editor->userField()->setText(user);
        editor->passwordField()->setText(password);
    }
};

std::shared_ptr<MUDConnection> newConnection(const QString& connectionId = "NEW-ID")
{
    auto connection = std::make_shared<MUDConnection>();
    connection->setConnectionId(connectionId);
    return connection;
}
} // namespace

class ConnectionEditor : public DataFolderTest { };

TEST_F(ConnectionEditor, ChecksRunInOrderWithTheirTextsAndFocus)
{
    struct Row {
        const char* name;
        QString title, host, port, user, password;
        QString alertTitle, alertText;
        QLineEdit* (MUDEditConnectionWindowController::*field)() const;
    };
    const QString addressText = "A server address must be specified to save a connection.";
    const QString portText = "A server port must be specified to save a connection.";
    const QString rangeText = "The server port must be between 1 and 65535.";
    const Row rows[] = {
        {"EmptyHostComesFirst", "", "", "", "", "x", "Server address required", addressText,
         &MUDEditConnectionWindowController::serverAddressField},
        {"PortNotANumber", "T", "127.0.0.1", "abc", "", "", "Server port required", portText,
         &MUDEditConnectionWindowController::serverPortField},
        {"PortZero", "T", "127.0.0.1", "0", "", "", "Invalid server port", rangeText,
         &MUDEditConnectionWindowController::serverPortField},
        {"PortBeyondTheRange", "T", "127.0.0.1", "70000", "", "", "Invalid server port", rangeText,
         &MUDEditConnectionWindowController::serverPortField},
        {"PasswordWithoutUser", "", "127.0.0.1", "23", "", "secret", "User required",
         "When a password is specified, a user must be specified as well.",
         &MUDEditConnectionWindowController::userField},
        {"EmptyTitle", "", "127.0.0.1", "23", "me", "", "Title required",
         "A unique title is required for all connections.", &MUDEditConnectionWindowController::titleField},
        {"TitleOfAnotherInOtherCase", "other game", "127.0.0.1", "23", "", "", "Connection exists",
         "Another connection exists with this name. All connection names must be unique.",
         &MUDEditConnectionWindowController::titleField},
    };
    storeConnection("Other Game", "127.0.0.1", 4000, "OTHER");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OpenEditor sheet(newConnection());
        sheet.fill(row.title, row.host, row.port, row.user, row.password);
        sheet.editor->onSave();
        QMessageBox* alert = sheet.editor->errorAlert();
        ASSERT_TRUE(alert);
        EXPECT_TRUE(alert->isVisible());
        EXPECT_EQ(alert->text(), row.alertTitle);
        EXPECT_EQ(alert->informativeText(), row.alertText);
        ASSERT_EQ(alert->buttons().size(), 1);
        EXPECT_EQ(alert->buttons().first()->text(), "OK");
        QLineEdit* field = (sheet.editor->*row.field)();
        EXPECT_EQ(sheet.editor->focusWidget(), field);
        EXPECT_EQ(field->cursorPosition(), field->text().size());
        EXPECT_FALSE(sheet.returnCode) << "a failed check keeps the sheet open";
        EXPECT_EQ(sheet.editor->titleField()->text(), row.title) << "input stays as typed";
        EXPECT_EQ(storedTitles(), QStringList{"Other Game"});
    }
}

TEST_F(ConnectionEditor, ThePortFieldStartsEmptyAndSaysWhatIsWrongWithTheTypedPort)
{
    OpenEditor sheet(newConnection());
    EXPECT_EQ(sheet.editor->serverPortField()->text(), "") << "a new connection has no port to delete first";
    QTest::keyClicks(sheet.editor->titleField(), "Game");
    QTest::keyClicks(sheet.editor->serverAddressField(), "127.0.0.1");
    QPushButton* save = nullptr;
    for (QPushButton* button : sheet.editor->findChildren<QPushButton*>())
        if (button->text() == "Save")
            save = button;
    ASSERT_TRUE(save);
    const struct {
        const char* typed;
        QString alertTitle;
        QString alertText;
    } rows[] = {
        {"", "Server port required", "A server port must be specified to save a connection."},
        {"abc", "Server port required", "A server port must be specified to save a connection."},
        {"70000", "Invalid server port", "The server port must be between 1 and 65535."},
        {"99999999999999999999", "Invalid server port", "The server port must be between 1 and 65535."},
        {"0", "Invalid server port", "The server port must be between 1 and 65535."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        sheet.editor->serverPortField()->selectAll();
        QTest::keyClick(sheet.editor->serverPortField(), Qt::Key_Backspace);
        QTest::keyClicks(sheet.editor->serverPortField(), row.typed);
        QTest::mouseClick(save, Qt::LeftButton);
        QMessageBox* alert = shownMessageBox(sheet.editor);
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->text(), row.alertTitle);
        EXPECT_EQ(alert->informativeText(), row.alertText);
        ASSERT_TRUE(clickButton(alert, "OK"));
        EXPECT_TRUE(waitUntil([&] { return !shownMessageBox(sheet.editor); }, 1000));
        EXPECT_FALSE(sheet.returnCode);
    }
    sheet.editor->serverPortField()->selectAll();
    QTest::keyClicks(sheet.editor->serverPortField(), "65535");
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(sheet.returnCode, 1);
    ASSERT_TRUE(MUDPreservation::loadConnectionById("NEW-ID"));
    EXPECT_EQ(MUDPreservation::loadConnectionById("NEW-ID")->port(), 65535u);
}

TEST_F(ConnectionEditor, SavesANewConnectionAndEndsWithOne)
{
    OpenEditor sheet(newConnection());
    EXPECT_EQ(sheet.editor->windowTitle(), "New connection");
    EXPECT_EQ(sheet.editor->focusWidget(), sheet.editor->titleField());
    sheet.fill("My Game", "127.0.0.1", "4000abc", "me");
    sheet.editor->reconnectCheckbox()->setChecked(true);
    sheet.editor->onSave();
    ASSERT_EQ(sheet.returnCode, 1);
    const auto stored = MUDPreservation::loadConnectionById("NEW-ID");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->title(), "My Game");
    EXPECT_EQ(stored->port(), 4000u) << "the port is the text's leading digits";
    EXPECT_EQ(stored->user(), "me");
    EXPECT_EQ(stored->password(), "");
    EXPECT_TRUE(stored->automaticallyReconnect());
}

TEST_F(ConnectionEditor, OpensAStoredConnectionWithItsFields)
{
    auto stored = storeConnection("Game", "game.invalid", 7777, "ID");
    OpenEditor sheet(stored);
    EXPECT_EQ(sheet.editor->windowTitle(), "Edit connection");
    EXPECT_EQ(sheet.editor->titleField()->text(), "Game");
    EXPECT_EQ(sheet.editor->serverAddressField()->text(), "game.invalid");
    EXPECT_EQ(sheet.editor->serverPortField()->text(), "7777");
    EXPECT_FALSE(sheet.editor->reconnectCheckbox()->isChecked());
    ASSERT_TRUE(stored->modifiedInstance());
    EXPECT_NE(stored->modifiedInstance(), stored);
}

TEST_F(ConnectionEditor, RenamingOnlyTheCaseOfItsOwnTitleSaves)
{
    OpenEditor sheet(storeConnection("Game", "127.0.0.1", 4000, "ID"));
    sheet.editor->titleField()->setText("GAME");
    sheet.editor->onSave();
    EXPECT_EQ(sheet.returnCode, 1);
    EXPECT_FALSE(sheet.editor->errorAlert());
    EXPECT_EQ(storedTitles(), QStringList{"GAME"});
}

TEST_F(ConnectionEditor, CancelStoresNothingEvenAfterTheLoginScriptWasEdited)
{
    auto stored = storeConnection("Game", "127.0.0.1", 4000, "ID");
    OpenEditor sheet(stored);
    sheet.editor->serverAddressField()->setText("elsewhere.invalid");
    sheet.editor->onLoginScript();
    MUDConnectionLoginScriptWindow* script = sheet.editor->loginScriptWindowController();
    ASSERT_TRUE(script);
    script->textView()->setPlainText("app.command('look');");
    script->onSave();
    EXPECT_EQ(stored->modifiedInstance()->loginScript(), "app.command('look');");
    sheet.editor->onCancel();
    EXPECT_EQ(sheet.returnCode, 0);
    const auto reloaded = MUDPreservation::loadConnectionById("ID");
    EXPECT_EQ(reloaded->host(), "127.0.0.1");
    EXPECT_EQ(reloaded->loginScript(), "");
}

TEST_F(ConnectionEditor, LoginScriptIsHighlightedAndStoredWithTheEditor)
{
    auto stored = storeConnection("Game", "127.0.0.1", 4000, "ID");
    OpenEditor sheet(stored);

    sheet.editor->onLoginScript();
    MUDConnectionLoginScriptWindow* first = sheet.editor->loginScriptWindowController();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->initialScript(), "");
    EXPECT_TRUE(first->textView()->syntaxHighlighter());
    first->textView()->setPlainText("ignored");
    first->onCancel();
    EXPECT_EQ(stored->modifiedInstance()->loginScript(), "") << "a cancelled script sheet changes nothing";

    sheet.editor->onLoginScript();
    MUDConnectionLoginScriptWindow* second = sheet.editor->loginScriptWindowController();
    ASSERT_TRUE(second);
    second->textView()->setPlainText("var x = 1; // login\napp.command('look');");
    second->onSave();
    sheet.editor->onSave();
    EXPECT_EQ(sheet.returnCode, 1);
    EXPECT_EQ(MUDPreservation::loadConnectionById("ID")->loginScript(), "var x = 1; // login\napp.command('look');");
}

TEST_F(ConnectionEditor, APickedPictureIsWrittenIntoTheRenamedFolder)
{
    QTemporaryDir pictures;
    const QString picture = pictures.filePath("pic.jpg");
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture, "JPG"));
    QFile broken(pictures.filePath("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();

    OpenEditor sheet(storeConnection("Game", "127.0.0.1", 4000, "ID"));
    EXPECT_FALSE(sheet.editor->setPickedImage(broken.fileName()));
    EXPECT_TRUE(sheet.editor->targetImageURL().isEmpty());
    EXPECT_TRUE(sheet.editor->setPickedImage(picture));
    sheet.editor->titleField()->setText("Renamed");
    sheet.editor->onSave();
    ASSERT_EQ(sheet.returnCode, 1);
    const QImage written(MUDPreservation::rootDirectoryForConnections() + "/Renamed.mud/image.png", "PNG");
    EXPECT_EQ(written.size(), QSize(20, 10));
    EXPECT_FALSE(QFile::exists(MUDPreservation::rootDirectoryForConnections() + "/Game.mud"));
}

TEST_F(ConnectionEditor, AStorageFailureIsShownAndKeepsTheSheetOpen)
{
    OpenEditor sheet(newConnection());
    sheet.fill("a/b", "127.0.0.1", "23");
    sheet.editor->onSave();
    ASSERT_TRUE(sheet.editor->errorAlert());
    EXPECT_EQ(sheet.editor->errorAlert()->text(), "Failed to save connection");
    EXPECT_FALSE(sheet.editor->errorAlert()->informativeText().isEmpty());
    EXPECT_FALSE(sheet.returnCode);
    EXPECT_TRUE(storedTitles().isEmpty());
}

TEST(ConnectionEditorPort, IsTheLeadingDigitsWithinThePortRange)
{
    const struct {
        const char* text;
        quint64 port;
    } rows[] = {{"4000", 4000},   {" 23 ", 23}, {"4000abc", 4000},          {"abc", 0}, {"", 0}, {"-5", 0},
                {"65535", 65535}, {"65536", 0}, {"99999999999999999999", 0}};
    for (const auto& row : rows)
        EXPECT_EQ(MUDEditConnectionWindowController::portFromText(row.text), row.port) << row.text;
}

namespace {
QJsonObject storedFile(const QString& title)
{
    QFile file(QDir(MUDPreservation::rootDirectoryForConnections()).filePath(title + ".mud/connection.json"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QJsonDocument::fromJson(file.readAll()).object();
}

void clickButton(QWidget* window, const QString& text)
{
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->text() == text)
            QTest::mouseClick(button, Qt::LeftButton);
    }
}

void clickSave(MUDEditConnectionWindowController* editor)
{
    clickButton(editor, "Save");
}

void clickBox(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
}
} // namespace

// The box is clicked and the sheet saved as a person does; the file on disk
// gains "secure": 1, and loses it again when the box is cleared, so a plain
// connection's file keeps exactly its seven keys.
TEST_F(ConnectionEditor, TheSecureBoxAddsTheSecureKeyOnlyWhileItIsOn)
{
    {
        OpenEditor sheet(newConnection());
        sheet.fill("Plain", "127.0.0.1", "4000");
        EXPECT_EQ(sheet.editor->secureCheckbox()->text(), "Secure connection (TLS)");
        EXPECT_FALSE(sheet.editor->secureCheckbox()->isChecked());
        clickSave(sheet.editor);
        ASSERT_EQ(sheet.returnCode, 1);
    }
    QStringList plainKeys = storedFile("Plain").keys();
    plainKeys.sort();
    EXPECT_EQ(plainKeys, QStringList({"automaticallyReconnect", "connectionId", "host", "loginScript", "password",
                                      "port", "user"}));

    auto stored = MUDPreservation::loadConnectionById("NEW-ID");
    ASSERT_TRUE(stored);
    {
        OpenEditor sheet(stored);
        QCheckBox* box = sheet.editor->secureCheckbox();
        clickBox(box);
        EXPECT_TRUE(box->isChecked());
        clickSave(sheet.editor);
        ASSERT_EQ(sheet.returnCode, 1);
    }
    const QJsonObject secureFile = storedFile("Plain");
    EXPECT_EQ(secureFile.size(), 8);
    EXPECT_TRUE(secureFile.value("secure").isDouble());
    EXPECT_EQ(secureFile.value("secure").toInteger(), 1);

    stored = MUDPreservation::loadConnectionById("NEW-ID");
    ASSERT_TRUE(stored && stored->isSecure());
    {
        OpenEditor sheet(stored);
        QCheckBox* box = sheet.editor->secureCheckbox();
        EXPECT_TRUE(box->isChecked()) << "the editor shows the stored choice";
        clickBox(box);
        clickSave(sheet.editor);
        ASSERT_EQ(sheet.returnCode, 1);
    }
    EXPECT_FALSE(storedFile("Plain").contains("secure"));
    EXPECT_EQ(storedFile("Plain").size(), 7);
}

// A connection made with "New..." negotiates from the start; clearing the
// box removes the key, and a file written before the key existed opens and
// saves with the box clear.
TEST_F(ConnectionEditor, NewConnectionsNegotiateTelnetOptionsAndOldFilesStayAsTheyWere)
{
    QString freshId;
    {
        MUDConnectionsWindowController window;
        window.show();
        clickButton(&window, "New...");
        MUDEditConnectionWindowController* editor = window.editConnectionWindowController();
        ASSERT_TRUE(editor);
        QCheckBox* box = editor->telnetOptionsCheckbox();
        EXPECT_EQ(box->text(), "Negotiate telnet options");
        EXPECT_TRUE(box->isChecked());
        freshId = editor->connection()->connectionId();
        editor->titleField()->setText("Fresh");
        editor->serverAddressField()->setText("127.0.0.1");
        editor->serverPortField()->setText("4000");
        clickSave(editor);
    }
    EXPECT_EQ(storedFile("Fresh").value("telnetOptions").toInteger(-1), 1);

    auto stored = MUDPreservation::loadConnectionById(freshId);
    ASSERT_TRUE(stored && stored->negotiatesTelnetOptions());
    {
        OpenEditor sheet(stored);
        EXPECT_TRUE(sheet.editor->telnetOptionsCheckbox()->isChecked());
        clickBox(sheet.editor->telnetOptionsCheckbox());
        EXPECT_FALSE(sheet.editor->telnetOptionsCheckbox()->isChecked());
        clickSave(sheet.editor);
        ASSERT_EQ(sheet.returnCode, 1);
    }
    EXPECT_FALSE(storedFile("Fresh").contains("telnetOptions"));
    EXPECT_EQ(storedFile("Fresh").size(), 7);

    storeConnection("Old", "127.0.0.1", 4001, "OLD");
    {
        OpenEditor sheet(MUDPreservation::loadConnectionById("OLD"));
        EXPECT_FALSE(sheet.editor->telnetOptionsCheckbox()->isChecked());
        clickSave(sheet.editor);
        ASSERT_EQ(sheet.returnCode, 1);
    }
    EXPECT_FALSE(storedFile("Old").contains("telnetOptions"));
}

namespace {
// Opens the pop-up with a click and clicks the entry shown as `shownName`, as a person does.
void chooseTextEncoding(MUDEditConnectionWindowController* editor, const QString& shownName)
{
    QComboBox* popUp = editor->textEncodingPopUp();
    QAbstractItemView* list = popUp->view();
    QTest::mouseClick(popUp, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return list->isVisible(); }, 2000));
    // The pop-up takes no click until a double-click's time has passed.
    spinEventLoop(QApplication::doubleClickInterval() + 50);
    const int row = popUp->findText(shownName);
    ASSERT_GE(row, 0) << shownName.toStdString();
    const QRect entry = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    ASSERT_TRUE(waitUntil([&] { return !list->isVisible(); }, 2000));
    EXPECT_EQ(popUp->currentText(), shownName);
}
} // namespace

// The file holds "encoding" only while the choice is not UTF-8, so files
// written before the choice existed, and UTF-8 ones, stay as they were.
TEST_F(ConnectionEditor, TheTextEncodingChoiceIsStoredOnlyWhenItIsNotUTF8)
{
    {
        OpenEditor sheet(newConnection());
        sheet.fill("Chinese", "127.0.0.1", "4000");
        EXPECT_EQ(sheet.editor->textEncodingPopUp()->currentData().toString(), "UTF-8");
        chooseTextEncoding(sheet.editor, "Simplified Chinese (GBK)");
        clickSave(sheet.editor);
        ASSERT_EQ(sheet.returnCode, 1);
    }
    EXPECT_EQ(storedFile("Chinese").value("encoding").toString(), "GBK");

    auto stored = MUDPreservation::loadConnectionById("NEW-ID");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->textEncoding(), "GBK");
    {
        OpenEditor sheet(stored);
        EXPECT_EQ(sheet.editor->textEncodingPopUp()->currentText(), "Simplified Chinese (GBK)")
            << "the editor shows the stored choice";
        chooseTextEncoding(sheet.editor, "Unicode (UTF-8)");
        clickSave(sheet.editor);
        ASSERT_EQ(sheet.returnCode, 1);
    }
    EXPECT_FALSE(storedFile("Chinese").contains("encoding"));
    stored = MUDPreservation::loadConnectionById("NEW-ID");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->textEncoding(), "UTF-8");
}
