#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ChildProgram.h"
#include "SessionFixture.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "engine/connection/MUDProxyServer.h"
#include "engine/connection/MUDProxyViewerConnection.h"
#include "engine/decoding/MUDStringColoring.h"
#include "engine/decoding/MUDStyledText.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

// Away from the ports the proxy server's own tests search.
constexpr quint16 kFirstPort = 5900;
constexpr quint16 kLastPort = 6000;

QJsonObject parsed(const QString& document)
{
    return QJsonDocument::fromJson(document.toUtf8()).object();
}

QString action(const QString& document)
{
    return parsed(document).value(QStringLiteral("action")).toString();
}

// The texts of a document's entries, joined.
QString entriesText(const QString& document)
{
    QString text;
    for (const QJsonValue& entry : parsed(document).value(QStringLiteral("entries")).toArray())
        text += entry.isString() ? entry.toString() : entry.toObject().value(QStringLiteral("text")).toString();
    return text;
}

CVAttributedString styled(const QString& text, const QColor& color, const QVariantMap& details)
{
    QTextCharFormat format;
    format.setForeground(color);
    if (!details.isEmpty())
        format.setProperty(MUDSectionDetailsProperty, details);
    return CVAttributedString(text, format);
}

class SessionProxyBridgeTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        QObject::connect(m_document.get(), &MUDDocument::sharingChanged, m_document.get(),
                         [this](bool sharing) { m_sharingChanges.append(sharing); });
    }

    // Starts sharing and waits for the port line.
    quint16 share()
    {
        m_document->proxyBridge().setPortRange(kFirstPort, kLastPort);
        m_document->startSharing();
        EXPECT_TRUE(m_document->isSharing());
        if (!waitForOutput(QStringLiteral("Sharing this session on local port ")))
            return 0;
        const quint16 port = m_document->proxyBridge().port();
        EXPECT_TRUE(outputText().contains(QStringLiteral("Sharing this session on local port %1.\r\n").arg(port)));
        return port;
    }

    std::unique_ptr<MUDProxyViewerConnection> attachViewer(quint16 port)
    {
        auto viewer = std::make_unique<MUDProxyViewerConnection>();
        EXPECT_TRUE(viewer->connect(QStringLiteral("127.0.0.1"), port, 2000)) << viewer->lastErrorText().toStdString();
        return viewer;
    }

    // Documents until there are `count` of them; the main thread keeps
    // running meanwhile, since the server asks it for the initial buffer.
    static QStringList receive(MUDProxyViewerConnection& viewer, int count)
    {
        QStringList documents;
        waitUntil([&] {
            documents += viewer.receiveDocuments(5);
            return documents.size() >= count;
        });
        return documents;
    }

    QList<bool> m_sharingChanges;
};

TEST_F(SessionProxyBridgeTest, ANewViewerGetsTheBufferThenTheMessagesThenLiveUpdatesInOrder)
{
    m_document->appendAttributedString(styled(QStringLiteral("red wall\r\n"), Qt::red,
                                              {{QStringLiteral("fg"), 31}, {QStringLiteral("bg"), 0}, {QStringLiteral("flags"), 1}}));
    m_document->addMessage(MUDMessage(QStringLiteral("first message")));
    const quint16 port = share();
    ASSERT_NE(port, 0);
    EXPECT_EQ(m_sharingChanges, QList<bool>{true});
    auto viewer = attachViewer(port);
    const QStringList initial = receive(*viewer, 2);
    ASSERT_EQ(initial.size(), 2);
    EXPECT_EQ(action(initial[0]), QStringLiteral("initialBuffer"));
    EXPECT_TRUE(entriesText(initial[0]).startsWith(QStringLiteral("red wall\r\n")));
    const QJsonObject first = parsed(initial[0]).value(QStringLiteral("entries")).toArray().first().toObject();
    EXPECT_EQ(first.value(QStringLiteral("fg")).toInt(), 31);
    EXPECT_EQ(first.value(QStringLiteral("flags")).toInt(), 1);
    EXPECT_EQ(action(initial[1]), QStringLiteral("messages"));
    EXPECT_EQ(entriesText(initial[1]), QStringLiteral("first message"));

    m_document->appendAttributedString(styled(QStringLiteral("server text"), Qt::green, {{QStringLiteral("fg"), 32}}));
    m_document->appendText(MUDDocument::coloredString(QStringLiteral("status line"), Qt::blue), false);
    m_document->addMessage(MUDMessage(QStringLiteral("second message")));
    const QStringList live = receive(*viewer, 3);
    ASSERT_EQ(live.size(), 3);
    EXPECT_EQ(action(live[0]), QStringLiteral("replaceTextInRange"));
    EXPECT_EQ(entriesText(live[0]), QStringLiteral("server text"));
    EXPECT_EQ(action(live[1]), QStringLiteral("appendText"));
    EXPECT_EQ(entriesText(live[1]), QStringLiteral("status line"));
    EXPECT_EQ(action(live[2]), QStringLiteral("messages"));
    EXPECT_EQ(entriesText(live[2]), QStringLiteral("second message"));
}

TEST_F(SessionProxyBridgeTest, ViewerLinesRunAsTypedCommandsInOrderAndTrimmed)
{
    connectSession(storedConnection(QStringLiteral("Shared")));
    const quint16 port = share();
    ASSERT_NE(port, 0);
    auto viewer = attachViewer(port);
    receive(*viewer, 1);
    // Two lines in one packet, the second ending in "\r\n".
    ASSERT_TRUE(viewer->sendCommand(QStringLiteral("north\nsouth\r")));
    ASSERT_TRUE(waitForServerLine("south"));
    EXPECT_EQ(m_server.receivedTexts(), (QList<QByteArray>{"north", "south"}));
    // Typed by the player: both enter the history, newest first.
    EXPECT_EQ(m_document->historyCommands(), (QStringList{QStringLiteral("south"), QStringLiteral("north")}));
    EXPECT_EQ(m_document->historyIndex(), 0);
    EXPECT_TRUE(m_document->isHistoryButtonEnabled());
}

TEST_F(SessionProxyBridgeTest, WithoutAServerNothingListensAndStoppingEndsTheViewers)
{
    LogRecorder log;
    m_document->appendText(MUDDocument::coloredString(QStringLiteral("alone"), Qt::blue), false);
    m_document->addMessage(MUDMessage(QStringLiteral("unheard")));
    m_document->stopSharing();
    EXPECT_FALSE(m_document->isSharing());
    EXPECT_EQ(m_document->proxyBridge().proxyServer(), nullptr);
    EXPECT_FALSE(outputText().contains(QStringLiteral("sharing")));
    EXPECT_TRUE(m_sharingChanges.isEmpty());
    for (const QString& line : log.lines())
        EXPECT_FALSE(line.startsWith(QStringLiteral("Proxy server"))) << line.toStdString();

    const quint16 port = share();
    ASSERT_NE(port, 0);
    auto viewer = attachViewer(port);
    receive(*viewer, 2);
    m_document->stopSharing();
    EXPECT_FALSE(m_document->isSharing());
    EXPECT_EQ(m_sharingChanges, (QList<bool>{true, false}));
    ASSERT_TRUE(waitForOutput(QStringLiteral("Stopped sharing this session.\r\n")));
    EXPECT_TRUE(waitUntil([&] {
        viewer->receiveDocuments(5);
        return !viewer->isConnected();
    }));
}

TEST_F(SessionProxyBridgeTest, ClosingTheSessionClosesTheServerAndItsViewers)
{
    const quint16 port = share();
    ASSERT_NE(port, 0);
    auto first = attachViewer(port);
    auto second = attachViewer(port);
    receive(*first, 1);
    receive(*second, 1);
    std::weak_ptr<MUDProxyServer> server = m_document->proxyBridge().proxyServer()->shared_from_this();
    m_document->close();
    EXPECT_FALSE(m_document->isSharing());
    EXPECT_EQ(m_sharingChanges, (QList<bool>{true, false}));
    EXPECT_TRUE(waitUntil([&] {
        first->receiveDocuments(5);
        second->receiveDocuments(5);
        return !first->isConnected() && !second->isConnected();
    }));
    // The server's threads end and release it.
    EXPECT_TRUE(waitUntil([&] { return server.expired(); }, 25000));
    MUDProxyViewerConnection late;
    EXPECT_FALSE(late.connect(QStringLiteral("127.0.0.1"), port, 500));
}

TEST_F(SessionProxyBridgeTest, NoFreePortTellsThePlayerAndStopsSharing)
{
    // The loopback game server holds its port.
    m_document->proxyBridge().setPortRange(m_server.port(), m_server.port());
    m_document->startSharing();
    ASSERT_TRUE(waitForOutput(QStringLiteral("Could not share this session: No free local port from %1 to %1 for the proxy server.\r\n")
                                  .arg(m_server.port())));
    EXPECT_FALSE(m_document->isSharing());
    EXPECT_EQ(m_sharingChanges, (QList<bool>{true, false}));
}

TEST_F(SessionProxyBridgeTest, EntriesSplitOnlyWhereTheStyleDetailsChange)
{
    const QVariantMap red{{QStringLiteral("fg"), 31}, {QStringLiteral("bg"), 44}, {QStringLiteral("flags"), 16}};
    CVAttributedString text = styled(QStringLiteral("plain "), Qt::white, {});
    // Same details in two foreground colours and fonts: one entry.
    text.append(styled(QStringLiteral("red"), Qt::red, red));
    CVAttributedString italic = styled(QStringLiteral(" still red"), Qt::darkRed, red);
    QTextCharFormat font;
    font.setFontItalic(true);
    italic.addAttributes(font, {0, italic.length()});
    text.append(italic);
    const QVariantList entries = MUDSessionProxyBridge::proxyEntriesFromAttributedString(text).toVariantList();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].toMap(), (QVariantMap{{QStringLiteral("text"), QStringLiteral("plain ")}}));
    QVariantMap expected = red;
    expected.insert(QStringLiteral("text"), QStringLiteral("red still red"));
    EXPECT_EQ(entries[1].toMap(), expected);
    EXPECT_TRUE(MUDSessionProxyBridge::proxyEntriesFromAttributedString({}).isEmpty());
}

TEST_F(SessionProxyBridgeTest, InternedRunsSplitLikeTheirFormats)
{
    // A flood's shape: many runs in a few interned formats, two of which
    // differ only in colour and font, plus a run without an id.
    const QVariantMap green{{QStringLiteral("fg"), 32}, {QStringLiteral("flags"), 1}};
    const quint32 generation = CVFormatId::newGeneration();
    const CVAttributedString greenBold = styled(QStringLiteral("orc "), Qt::green, green);
    const CVAttributedString greenDark = styled(QStringLiteral("hits "), Qt::darkGreen, green);
    const CVAttributedString plain = styled(QStringLiteral("you. "), Qt::white, {});
    struct Piece {
        const CVAttributedString* text;
        CVFormatId id;
    };
    const Piece pieces[] = {{&greenBold, {generation, 1}}, {&greenDark, {generation, 2}}, {&plain, {generation, 3}},
                            {&greenDark, {}}, {&plain, {generation, 3}}};
    CVAttributedString text;
    QStringList expectedTexts;
    for (int round = 0; round < 50; ++round) {
        for (const Piece& piece : pieces)
            text.append(piece.text->string(), piece.text->attributesAtIndex(0), piece.id);
        expectedTexts << QStringLiteral("orc hits ") << QStringLiteral("you. ") << QStringLiteral("hits ")
                      << QStringLiteral("you. ");
    }
    const QVariantList entries = MUDSessionProxyBridge::proxyEntriesFromAttributedString(text).toVariantList();
    ASSERT_EQ(entries.size(), expectedTexts.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QVariantMap entry = entries[i].toMap();
        EXPECT_EQ(entry.value(QStringLiteral("text")).toString(), expectedTexts[i]) << i;
        EXPECT_EQ(entry.contains(QStringLiteral("fg")), i % 2 == 0) << i;
    }
}

TEST_F(SessionProxyBridgeTest, TheViewerProgramPrintsColouredOutputAndSendsTypedLines)
{
    connectSession(storedConnection(QStringLiteral("Viewed")));
    m_server.send("\x1b[31mred before\x1b[0m\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("red before")));
    const quint16 port = share();
    ASSERT_NE(port, 0);

    ChildProgram viewer;
    ASSERT_TRUE(viewer.start(QStringLiteral(QUARROW_VIEWER_PATH), {QString::number(port)})) << viewer.errorText().toStdString();
    QByteArray printed;
    auto printedContains = [&](const QByteArray& text) {
        return waitUntil(
            [&] {
                printed += viewer.readOutput();
                return printed.contains(text);
            },
            8000);
    };
    // The server's red (SGR 31) comes through as an escape sequence.
    EXPECT_TRUE(printedContains("\x1b[0;31mred before")) << printed.toStdString();
    viewer.write("say hi\n");
    EXPECT_TRUE(waitForServerLine("say hi", 8000));
    m_server.send("after\r\n");
    EXPECT_TRUE(printedContains("after")) << printed.toStdString();

    m_document->close();
    EXPECT_TRUE(viewer.waitForFinished(8000));
    EXPECT_TRUE(viewer.exitedNormally());
}

}

// Styled text gives the entries of its attributed form, whether its white
// space differs from its text in foreground alone (as the style state makes
// it) or in more.
TEST_F(SessionProxyBridgeTest, StyledTextGivesTheEntriesOfItsAttributedForm)
{
    const QFont font = MUDDocument::localFont();
    MUDStringColoring coloring;
    MUDStyledText text;
    for (const char* sequence : {"\x1b[31m", "\x1b[1;31m", "\x1b[4;32;44m", "\x1b[9m", "\x1b[0m"}) {
        coloring.prepareANSI(sequence, font);
        coloring.appendColoredText(text, u"a goblin  hits\tyou\r\n", font);
    }
    const QJsonArray entries = MUDSessionProxyBridge::proxyEntriesFromStyledText(text);
    EXPECT_EQ(entries, MUDSessionProxyBridge::proxyEntriesFromAttributedString(text.attributedString()));
    EXPECT_EQ(entries.size(), 5) << "one entry per style, white space included";

    MUDTextStyle marked = *text.pieces().front().style;
    marked.whitespace.setBackground(QColor(Qt::blue));
    marked.whitespace.setProperty(MUDSectionDetailsProperty, QVariantMap{{QStringLiteral("bg"), 44}});
    MUDStyledText odd;
    odd.append(u"x y", std::make_shared<const MUDTextStyle>(marked));
    const QJsonArray oddEntries = MUDSessionProxyBridge::proxyEntriesFromStyledText(odd);
    EXPECT_EQ(oddEntries, MUDSessionProxyBridge::proxyEntriesFromAttributedString(odd.attributedString()));
    EXPECT_EQ(oddEntries.size(), 3);
}
