#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QXmlStreamReader>

#include "SessionFixture.h"
#include "app/session/MUDScriptBridge.h"
#include "app/session/MUDWindowState.h"
#include "engine/automation/MUDJavascriptError.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/connection/MUDConnection.h"

namespace {

using SessionExportTest = SessionFixture;

// What a browser shows of a page: the text inside its pre blocks, in order,
// read from the page exactly as written (a pre block shows every character).
QString preText(const QString& html)
{
    QXmlStreamReader reader(html);
    QString shown;
    int preDepth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: preDepth += reader.name() == u"pre"; break;
        case QXmlStreamReader::EndElement: preDepth -= reader.name() == u"pre"; break;
        case QXmlStreamReader::Characters:
            if (preDepth > 0)
                shown += reader.text();
            break;
        default: break;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return shown;
}

TEST_F(SessionExportTest, ACaptureShowsTheOutputTextInOneSpanPerColour)
{
    m_document->setConnection(storedConnection(QStringLiteral("Readable")));
    m_document->appendText(MUDDocument::coloredString(QStringLiteral("Attempting connection to `Readable`.\r\n"),
                                                      MUDDocument::triggerDebugColor()),
                           true);
    QByteArray server;
    for (int line = 0; line < 100; ++line)
        server += "\x1b[1m\x1b[31mRed words, line " + QByteArray::number(line) + "\x1b[0m and  plain\twords\r\n";
    m_document->processDataLocally(server);
    ASSERT_TRUE(waitForOutput(QStringLiteral("line 99 and  plain\twords\n")));
    m_document->setCaptureOutput(true);
    m_document->close();

    const QStringList files = QDir(m_storage.path() + QStringLiteral("/capture/Readable")).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile file(m_storage.path() + QStringLiteral("/capture/Readable/") + files.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_FALSE(html.contains(u'\r'));
    EXPECT_FALSE(html.contains(QStringLiteral("&#xd;"), Qt::CaseInsensitive));
    EXPECT_FALSE(html.contains(QStringLiteral("&#13;")));
    QString shown = outputText();
    shown.remove(u'\r');
    EXPECT_EQ(preText(html).toStdString(), shown.toStdString());
    // The status line, then a red and a plain stretch per server line.
    EXPECT_EQ(html.count(QStringLiteral("<span ")), 1 + 2 * 100);
    EXPECT_EQ(html.count(QStringLiteral("<pre ")), 1);
}

TEST_F(SessionExportTest, ExportEscapesMarkupDropsForbiddenCharactersAndParses)
{
    m_document->appendAttributedString(MUDDocument::coloredString(QStringLiteral("a < b & c\x01\r\n"), Qt::red));
    m_document->appendAttributedString(MUDDocument::coloredString(QStringLiteral("green"), Qt::green));
    const QString html = m_document->xmlStringRepresentation();
    QDomDocument parsed;
    ASSERT_TRUE(parsed.setContent(html)) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("a &lt; b &amp; c")));
    EXPECT_FALSE(html.contains(QChar(0x01)));
    const QDomNodeList spans = parsed.elementsByTagName(QStringLiteral("span"));
    ASSERT_EQ(spans.size(), 2);
    EXPECT_EQ(spans.at(0).toElement().attribute(QStringLiteral("style")), QStringLiteral("color: #ff0000;"));
    EXPECT_EQ(spans.at(1).toElement().attribute(QStringLiteral("style")), QStringLiteral("color: #00ff00;"));
    EXPECT_EQ(parsed.documentElement().tagName(), QStringLiteral("meta"));
}

TEST_F(SessionExportTest, LocalTextSharesOnePreBlockPerFont)
{
    m_document->appendText(MUDDocument::coloredString(QStringLiteral("one"), Qt::red), false);
    m_document->appendText(MUDDocument::coloredString(QStringLiteral("two"), Qt::blue), false);
    QDomDocument parsed;
    ASSERT_TRUE(parsed.setContent(m_document->xmlStringRepresentation()));
    EXPECT_EQ(parsed.elementsByTagName(QStringLiteral("pre")).size(), 1);
    EXPECT_EQ(parsed.elementsByTagName(QStringLiteral("span")).size(), 2);
}

TEST_F(SessionExportTest, WindowStateRoundTrips)
{
    std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("State"));
    m_document->setConnection(connection);
    EXPECT_TRUE(m_document->restoredWindowFrames().isEmpty());
    m_document->setWindowFrames({{QStringLiteral("windowFrame"), QRectF(10, 20, 640, 480)},
                                 {QStringLiteral("messagesWindowFrame"), QRectF(700, 20, 300, 200)}});
    m_document->saveWindowState();
    MUDDocument reopened(&m_desktop);
    reopened.setConnection(connection);
    const MUDWindowState::Frames frames = reopened.restoredWindowFrames();
    EXPECT_EQ(frames.value(QStringLiteral("windowFrame")), QRectF(10, 20, 640, 480));
    EXPECT_EQ(frames.value(QStringLiteral("messagesWindowFrame")), QRectF(700, 20, 300, 200));
    EXPECT_FALSE(frames.contains(QStringLiteral("exitsWindowFrame")));
    EXPECT_EQ(MUDWindowState::rectToString(QRectF(1, 2, 3, 4)), QStringLiteral("{{1, 2}, {3, 4}}"));
    EXPECT_FALSE(MUDWindowState::rectFromString(QStringLiteral("{{1, 2}, {3}}")).has_value());
}

TEST_F(SessionExportTest, CloseClearsBadgeWritesTheCaptureAndPostsTheNotification)
{
    connectSession(storedConnection(QStringLiteral("Capture")));
    m_input.m_text = QStringLiteral("#captureOutput");
    m_document->MUDCommandTextViewReturnKey();
    m_server.send("captured <text>\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("captured <text>")));
    int closed = 0;
    QObject::connect(&MUDNotificationCenter::defaultCenter(), &MUDNotificationCenter::notificationPosted,
                     m_document.get(), [&closed](const QString& name, const QVariant&) {
                         closed += name == MUDDocument::mudDocumentClosedNotificationName();
                     });
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    m_document->close();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(m_desktop.badges, QStringList{QString()});
    EXPECT_EQ(m_desktop.statuses, QStringList{QString()});
    const QStringList files = QDir(m_storage.path() + QStringLiteral("/capture/Capture")).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_GE(files.first().section(u'.', 0, 0).toLongLong(), before);
    QFile file(m_storage.path() + QStringLiteral("/capture/Capture/") + files.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QDomDocument parsed;
    ASSERT_TRUE(parsed.setContent(file.readAll()));
    EXPECT_TRUE(parsed.documentElement().text().contains(QStringLiteral("captured <text>")));
    EXPECT_TRUE(waitUntil([&] { return m_server.clientClosed(); }));
}

using SessionBridgeTest = SessionFixture;

TEST_F(SessionBridgeTest, ErrorLinesCollapseDoubleStopsAndLinkOnlyWithAScript)
{
    MUDScriptBridge& bridge = m_document->scriptBridge();
    MUDJavascriptError error;
    error.scriptName = QStringLiteral("Trigger: t");
    error.errorMessage = QStringLiteral("Boom.");
    bridge.javascriptProcessorHasError(nullptr, error);
    EXPECT_TRUE(outputText().contains(QStringLiteral("Error in `Trigger: t`. Boom. \r\n")));
    EXPECT_FALSE(outputText().contains(QStringLiteral("(details)")));

    error.rawScript = QStringLiteral("boom()");
    bridge.javascriptProcessorHasError(nullptr, error);
    const qsizetype link = outputText().indexOf(QStringLiteral("(details)"));
    ASSERT_GE(link, 0);
    const QTextCharFormat format = m_document->output().attributesAtIndex(link);
    EXPECT_TRUE(format.isAnchor());
    EXPECT_EQ(format.property(MUDScriptErrorLinkProperty).value<MUDJavascriptError>().rawScript,
              QStringLiteral("boom()"));
}

TEST_F(SessionBridgeTest, MessagesExitsBadgeStatusAndNotifications)
{
    MUDScriptBridge& bridge = m_document->scriptBridge();
    bridge.javascriptProcessorReceivedMessage(nullptr, MUDMessage(QStringLiteral("  \n ")));
    EXPECT_TRUE(outputText().contains(QStringLiteral("Log: Failed to append a blank message.\r\n")));
    bridge.javascriptProcessorReceivedMessage(nullptr, MUDMessage(QStringLiteral("hello\n")));
    ASSERT_EQ(m_document->messages().size(), 1);
    EXPECT_EQ(m_document->messages().first().message(), QStringLiteral("hello"));

    bridge.javascriptProcessorSetExits(nullptr, {MUDExit(QStringLiteral("north"), QStringLiteral("a door")),
                                                 MUDExit(QStringLiteral("south"), QString()),
                                                 MUDExit(QString(), QStringLiteral("hidden"))});
    EXPECT_EQ(m_document->exitsText(), QStringLiteral("north : a door\r\nsouth"));

    LogRecorder log;
    bridge.javascriptProcessorSetBadge(nullptr, QStringLiteral("3"));
    bridge.javascriptProcessorSetStatus(nullptr, QStringLiteral("HP 10"));
    bridge.javascriptProcessorRequestsNotification(nullptr, QStringLiteral("Title"), QStringLiteral("Body"));
    EXPECT_EQ(m_desktop.badges, QStringList{"3"});
    EXPECT_EQ(m_desktop.statuses, QStringList{"HP 10"});
    EXPECT_EQ(m_desktop.notifications, QStringList{"Title|Body"});
    EXPECT_TRUE(log.contains(QStringLiteral("Want to post notification: Title - Body")));
}

}
