#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "SessionFixture.h"
#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/MUDCommandTextView.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/connection/MUDProxyViewerConnection.h"

namespace {

const QByteArray kWillEcho("\xff\xfb\x01", 3);
const QByteArray kWontEcho("\xff\xfc\x01", 3);

// Away from the ports other proxy tests search.
constexpr quint16 kFirstPort = 6100;
constexpr quint16 kLastPort = 6200;

// Every capture file under the storage root, read as text.
QString captureFiles(const QString& root)
{
    QString text;
    QDirIterator files(root + QStringLiteral("/capture"), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

}

// A session window against the loopback server, typed into key by key
// through the window, as a person types: keys go wherever the focus is.
class SessionPasswordModeTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        m_window = std::make_unique<MUDSessionWindow>(&m_desktop);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        m_window->openConnection(storedConnection(QStringLiteral("Guarded")));
        ASSERT_TRUE(waitUntil([&] { return document().isConnected() && m_server.hasClient(); }));
    }
    void TearDown() override
    {
        m_viewer.reset();
        m_window.reset();
        SessionFixture::TearDown();
    }

    MUDDocument& document() { return m_window->document(); }
    MUDCommandTextView* input() { return m_window->commandTextView(); }
    QString windowOutput() { return document().output().text({0, document().output().length()}); }
    bool waitForWindowOutput(const QString& text)
    {
        return waitUntil([&] { return windowOutput().contains(text); });
    }

    void typeLine(const QString& line)
    {
        for (const QChar key : line)
            QTest::keyClick(m_window->windowHandle(), key.toLatin1());
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Return);
    }

    // Long enough for a local echo, which waits after recent server text.
    static void waitPastLocalEcho() { spinEventLoop(int(MUDDocument::LocalEchoDelay * 1000) + 100); }

    bool waitForPasswordMode(bool on)
    {
        return waitUntil([&] { return input()->isPasswordMode() == on && document().isPasswordMode() == on; });
    }

    void attachViewer()
    {
        document().proxyBridge().setPortRange(kFirstPort, kLastPort);
        document().startSharing();
        ASSERT_TRUE(waitUntil([&] { return document().proxyBridge().port() != 0; }));
        m_viewer = std::make_unique<MUDProxyViewerConnection>();
        ASSERT_TRUE(m_viewer->connect(QStringLiteral("127.0.0.1"), document().proxyBridge().port(), 2000));
        ASSERT_TRUE(waitUntil([&] {
            m_viewerDocuments += m_viewer->receiveDocuments(5);
            return !m_viewerDocuments.isEmpty();
        }));
    }
    // What the viewer received so far, waiting until it holds `text`.
    QString viewerTextWith(const QString& text)
    {
        waitUntil([&] {
            m_viewerDocuments += m_viewer->receiveDocuments(5);
            return m_viewerDocuments.join(QString()).contains(text);
        });
        return m_viewerDocuments.join(QString());
    }

    std::unique_ptr<MUDSessionWindow> m_window;
    std::unique_ptr<MUDProxyViewerConnection> m_viewer;
    QStringList m_viewerDocuments;
};

TEST_F(SessionPasswordModeTest, APasswordReachesTheServerAndNothingElse)
{
    attachViewer();
    typeLine(QStringLiteral("#captureOutput"));
    typeLine(QStringLiteral("hello"));
    ASSERT_TRUE(waitForServerLine("hello"));
    QTest::keyClicks(input(), QStringLiteral("half a command"));

    m_server.send("Password: " + kWillEcho);
    ASSERT_TRUE(waitForPasswordMode(true));
    QLineEdit* field = input()->passwordField();
    EXPECT_TRUE(field->isVisible());
    EXPECT_TRUE(field->hasFocus()) << "typing goes to the masked field at once";
    EXPECT_EQ(field->geometry(), input()->rect());

    // Spaces and semicolons belong to a password: no split, no trimming.
    const QString password = QStringLiteral("s3cret; look ");
    for (const QChar key : password)
        QTest::keyClick(m_window->windowHandle(), key.toLatin1());
    EXPECT_EQ(field->text(), password);
    const QString shown = field->displayText();
    EXPECT_EQ(shown.size(), password.size());
    EXPECT_FALSE(shown.contains(u's') || shown.contains(u';') || shown.contains(u' ')) << shown.toStdString();
    EXPECT_EQ(shown, QString(shown.size(), shown.front())) << "one mask character throughout";
    // Arrows browse no history into the field, Tab completes nothing.
    QTest::keyClick(m_window->windowHandle(), Qt::Key_Up);
    EXPECT_EQ(field->text(), password);
    QTest::keyClick(m_window->windowHandle(), Qt::Key_Return);

    ASSERT_TRUE(waitForServerLine("s3cret; look "));
    waitPastLocalEcho();
    EXPECT_TRUE(field->text().isEmpty()) << "the password does not stay in the input";
    EXPECT_FALSE(windowOutput().contains(QStringLiteral("s3cret")));
    EXPECT_EQ(document().commandPipeline().historyCommands(),
              (QStringList{QStringLiteral("hello"), QStringLiteral("#captureOutput")}));
    EXPECT_EQ(document().javascriptProcessor()->variables().value(QStringLiteral("lastCommand")).toString(),
              QStringLiteral("hello\n"));

    // A line a viewer sends meanwhile is a password as well.
    ASSERT_TRUE(m_viewer->sendCommand(QStringLiteral("viewer-pw")));
    ASSERT_TRUE(waitForServerLine("viewer-pw"));
    waitPastLocalEcho();
    EXPECT_FALSE(windowOutput().contains(QStringLiteral("viewer-pw")));
    EXPECT_FALSE(document().commandPipeline().historyCommands().contains(QStringLiteral("viewer-pw")));

    m_server.send(kWontEcho + "Welcome back.\r\n");
    ASSERT_TRUE(waitForPasswordMode(false));
    EXPECT_FALSE(field->isVisible());
    EXPECT_TRUE(input()->hasFocus());
    EXPECT_EQ(input()->toPlainText(), QStringLiteral("half a command")) << "what was typed before is back";
    input()->clear();
    typeLine(QStringLiteral("look"));
    ASSERT_TRUE(waitForServerLine("look"));
    EXPECT_EQ(document().commandPipeline().historyCommands().first(), QStringLiteral("look"));
    ASSERT_TRUE(waitForWindowOutput(QStringLiteral("look\n")));

    const QString viewerText = viewerTextWith(QStringLiteral("look"));
    EXPECT_TRUE(viewerText.contains(QStringLiteral("Welcome back.")));
    EXPECT_FALSE(viewerText.contains(QStringLiteral("s3cret")));
    EXPECT_FALSE(viewerText.contains(QStringLiteral("viewer-pw")));

    m_window->close();
    const QString capture = captureFiles(m_storage.path());
    EXPECT_TRUE(capture.contains(QStringLiteral("Welcome back.")));
    EXPECT_FALSE(capture.contains(QStringLiteral("s3cret")));
    EXPECT_FALSE(capture.contains(QStringLiteral("viewer-pw")));
}

TEST_F(SessionPasswordModeTest, AnEchoAnnouncementCutBetweenReadsStillMasks)
{
    m_server.send(kWillEcho.left(2));
    spinEventLoop(150);
    EXPECT_FALSE(input()->isPasswordMode());
    m_server.send(kWillEcho.mid(2) + "Password: ");
    ASSERT_TRUE(waitForPasswordMode(true));
    ASSERT_TRUE(waitForWindowOutput(QStringLiteral("Password: ")));
    EXPECT_FALSE(windowOutput().contains(QChar(0xfb))) << "no command byte leaks into the text";
    typeLine(QStringLiteral("split"));
    ASSERT_TRUE(waitForServerLine("split"));
    waitPastLocalEcho();
    EXPECT_FALSE(windowOutput().contains(QStringLiteral("split")));
}

TEST_F(SessionPasswordModeTest, ADisconnectEndsPasswordMode)
{
    m_server.send(kWillEcho);
    ASSERT_TRUE(waitForPasswordMode(true));
    QTest::keyClick(m_window->windowHandle(), 'x');
    m_server.dropClient();
    ASSERT_TRUE(waitForWindowOutput(QStringLiteral("You have been disconnected")));
    ASSERT_TRUE(waitForPasswordMode(false));
    EXPECT_FALSE(input()->passwordField()->isVisible());
    EXPECT_TRUE(input()->passwordField()->text().isEmpty());
    EXPECT_TRUE(input()->hasFocus());
    // Typing goes to the input line again.
    QTest::keyClick(m_window->windowHandle(), 'n');
    EXPECT_EQ(input()->toPlainText(), QStringLiteral("n"));
}
