#include <QDir>
#include <QDomDocument>
#include <QFile>

#include "SessionFixture.h"
#include "TinyMuxServer.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

// A session against a real TinyMUX: one server for the whole suite, since
// installing and starting a game takes a few seconds.
class SessionTinyMuxTest : public SessionFixture {
protected:
    static void SetUpTestSuite()
    {
        s_mux = std::make_unique<TinyMuxServer>();
        if (!s_mux->start(&s_startError))
            s_mux.reset();
    }
    static void TearDownTestSuite() { s_mux.reset(); }

    static std::unique_ptr<TinyMuxServer> s_mux;
    static QString s_startError;
};

std::unique_ptr<TinyMuxServer> SessionTinyMuxTest::s_mux;
QString SessionTinyMuxTest::s_startError;

TEST_F(SessionTinyMuxTest, LogsInThroughTheLoginScriptThenPlaysColoursTriggersAndCaptures)
{
    ASSERT_TRUE(s_mux) << s_startError.toStdString();
    // The user and password lines reach the login screen as unknown
    // commands; the login script, which runs only because both are set,
    // sends the real login.
    std::shared_ptr<MUDConnection> connection = storedConnection(
        QStringLiteral("Mux"), QString::fromLatin1(TinyMuxServer::WizardName),
        QString::fromLatin1(TinyMuxServer::WizardPassword),
        QStringLiteral("command('connect %1 %2');")
            .arg(QString::fromLatin1(TinyMuxServer::WizardName), QString::fromLatin1(TinyMuxServer::WizardPassword)));
    connection->setPort(s_mux->port());
    storeTrigger(*connection, QStringLiteral("said"), QStringLiteral("You say, \"hello\""),
                 QStringLiteral("addComm('heard: ' + 'hello');"));

    m_document->setConnection(connection);
    m_document->connectToServer();
    ASSERT_TRUE(waitForOutput(QStringLiteral("Connected to `Mux`."), 10000)) << outputText().toStdString();
    ASSERT_TRUE(waitForOutput(QStringLiteral("Auto-login password: *********"), 5000));
    // The room a fresh game starts the wizard in.
    ASSERT_TRUE(waitForOutput(QStringLiteral("Limbo(#0"), 10000)) << outputText().toStdString();

    m_document->processCommand(QStringLiteral("@set me=ANSI"), nullptr);
    m_document->processCommand(QStringLiteral("think [ansi(r,crimson)] plain"), nullptr);
    ASSERT_TRUE(waitForOutput(QStringLiteral("crimson plain"), 10000)) << outputText().toStdString();
    const qsizetype crimson = outputText().lastIndexOf(QStringLiteral("crimson plain"));
    const QTextCharFormat coloured = m_document->output().attributesAtIndex(crimson);
    const QTextCharFormat plain = m_document->output().attributesAtIndex(crimson + 8);
    EXPECT_NE(coloured.foreground().color(), plain.foreground().color());
    EXPECT_FALSE(coloured.hasProperty(MUDUserCommandProperty));

    m_input.m_text = QStringLiteral("#captureOutput");
    m_document->MUDCommandTextViewReturnKey();
    m_document->processCommand(QStringLiteral("look"), nullptr);
    m_document->processCommand(QStringLiteral("say hello"), nullptr);
    ASSERT_TRUE(waitForOutput(QStringLiteral("You say, \"hello\""), 10000)) << outputText().toStdString();
    // The trigger fires on the reply, once, and not on the echoed "say hello".
    ASSERT_TRUE(waitUntil([&] { return !m_document->messages().isEmpty(); }, 5000));
    spinEventLoop(400);
    ASSERT_EQ(m_document->messages().size(), 1);
    EXPECT_EQ(m_document->messages().first().message(), QStringLiteral("heard: hello"));

    m_document->close();
    const QString folder = m_storage.path() + QStringLiteral("/capture/Mux");
    const QStringList files = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile file(folder + QLatin1Char('/') + files.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QDomDocument parsed;
    ASSERT_TRUE(parsed.setContent(file.readAll()));
    // Parsing drops the text nodes that hold only white space (white space
    // is a run of its own), so compare without it.
    const QString captured = parsed.documentElement().text().remove(u' ');
    EXPECT_TRUE(captured.contains(QStringLiteral("Limbo(#0"))) << captured.toStdString();
    EXPECT_TRUE(captured.contains(QStringLiteral("Yousay,\"hello\""))) << captured.toStdString();
}

}
