#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "ChildProgram.h"
#include "SessionFixture.h"
#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDProxyInitialBuffer.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/MUDCommandTextView.h"
#include "engine/connection/MUDProxyFrameDecoder.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"
#include "engine/connection/MUDProxyServer.h"
#include "engine/connection/MUDProxyViewerConnection.h"
#include "engine/decoding/MUDOutputModel.h"
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

// `count` lines of game text in three styles, two of them with details.
CVAttributedString gameLines(int first, int count)
{
    const QVariantMap red{{QStringLiteral("fg"), 31}};
    const QVariantMap boldGreen{{QStringLiteral("fg"), 32}, {QStringLiteral("flags"), 1}};
    CVAttributedString lines;
    for (int line = first; line < first + count; ++line) {
        lines.append(styled(QStringLiteral("The goblin "), Qt::red, red));
        lines.append(styled(QStringLiteral("hits you for %1 ").arg(line % 50), Qt::white, {}));
        lines.append(styled(QStringLiteral("damage (line %1).\r\n").arg(line), Qt::green, boldGreen));
    }
    return lines;
}

// The document a frame carries.
QString documentOf(const MUDProxyOutgoingFrame& frame)
{
    MUDProxyFrameDecoder decoder;
    decoder.append(frame.bytes());
    const QStringList documents = decoder.takeDocuments();
    return documents.value(0);
}

// The output text the documents rebuild: every entry of every document
// that is not a "messages" one, in order.
QString rebuiltOutput(const QStringList& documents)
{
    QString text;
    for (const QString& document : documents) {
        if (action(document) != u"messages")
            text += entriesText(document);
    }
    return text;
}

// A viewer reading on its own thread, so decoding a long document takes no
// time from the main thread the tests watch.
class ViewerThread {
public:
    explicit ViewerThread(quint16 port)
        : m_thread([this, port] { run(port); })
    {
    }
    ~ViewerThread()
    {
        m_stopping = true;
        m_thread.join();
    }
    QStringList documents() const
    {
        QMutexLocker lock(&m_mutex);
        return m_documents;
    }

private:
    void run(quint16 port)
    {
        MUDProxyViewerConnection viewer;
        if (!viewer.connect(QStringLiteral("127.0.0.1"), port, 2000))
            return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!m_stopping && viewer.isConnected() && std::chrono::steady_clock::now() < deadline) {
            const QStringList documents = viewer.receiveDocuments(20);
            QMutexLocker lock(&m_mutex);
            m_documents += documents;
        }
    }

    mutable QMutex m_mutex;
    QStringList m_documents;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// How long the main thread holds on without returning to its event loop:
// the most processor time it used between two ticks of a 1 ms timer. Time
// spent waiting for a core on a busy machine is not counted, so the figure
// is the thread's own doing, whatever else runs.
class StallProbe {
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = threadProcessorNs();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
        m_lastNs = threadProcessorNs();
        m_timer.start();
    }
    double longestStallMs() const { return double(m_longestNs) / 1e6; }

private:
    static qint64 threadProcessorNs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    QTimer m_timer;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

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
    m_document->appendAttributedString(
        styled(QStringLiteral("red wall\r\n"), Qt::red,
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
    EXPECT_EQ(m_document->commandPipeline().historyCommands(),
              (QStringList{QStringLiteral("south"), QStringLiteral("north")}));
    EXPECT_EQ(m_document->commandPipeline().historyIndex(), 0);
    EXPECT_TRUE(m_document->isHistoryButtonEnabled());
}

TEST_F(SessionProxyBridgeTest, ViewerCommandsLeaveThePlayersTypingAndHistoryPlaceAlone)
{
    auto window = std::make_unique<MUDSessionWindow>(&m_desktop);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->openConnection(storedConnection(QStringLiteral("Typed")));
    MUDDocument& document = window->document();
    ASSERT_TRUE(waitUntil([&] { return document.isConnected(); }));
    document.proxyBridge().setPortRange(kFirstPort, kLastPort);
    document.startSharing();
    ASSERT_TRUE(waitUntil([&] { return document.proxyBridge().port() != 0; }));
    auto viewer = attachViewer(document.proxyBridge().port());
    receive(*viewer, 1);

    // A burst of one-letter commands (neighbours differ, so each one enters
    // the history) while the player types, key by key.
    constexpr int kBurst = 5000;
    QStringList burst;
    for (int i = 0; i < kBurst; ++i)
        burst.append(QString(QChar(u'a' + i % 26)));
    ASSERT_TRUE(viewer->sendCommand(burst.join(u'\n')));
    ASSERT_TRUE(waitUntil([&] { return !document.commandPipeline().historyCommands().isEmpty(); }));
    MUDCommandTextView* input = window->commandTextView();
    input->setFocus();
    const QString typed = QStringLiteral("kill the goblin with the rusty sword");
    const qsizetype runBeforeTyping = document.commandPipeline().historyCommands().size();
    for (const QChar key : typed) {
        QTest::keyClick(input, key.toLatin1());
        spinEventLoop(2);
        viewer->receiveDocuments(0);
    }
    const qsizetype runWhileTyping = document.commandPipeline().historyCommands().size() - runBeforeTyping;
    EXPECT_GT(runWhileTyping, qsizetype(typed.size())) << "the burst ran between the keystrokes";
    EXPECT_EQ(input->toPlainText(), typed);
    EXPECT_FALSE(input->textCursor().hasSelection());
    EXPECT_EQ(input->textCursor().position(), typed.size());

    // The player sends the line and goes back one entry; the viewer's next
    // commands leave the line, its selection and the place in the history.
    QTest::keyClick(input, Qt::Key_Return);
    ASSERT_TRUE(waitUntil(
        [&] {
            viewer->receiveDocuments(0);
            return document.commandPipeline().historyCommands().size() > kBurst;
        },
        30000));
    EXPECT_TRUE(input->textCursor().hasSelection()) << "a sent line is selected, so typing replaces it";
    QTest::keyClick(input, Qt::Key_Up);
    const QString shown = document.commandPipeline().historyCommands().first();
    ASSERT_EQ(input->toPlainText(), shown);
    const QString older = document.commandPipeline().historyCommands().value(1);
    ASSERT_TRUE(viewer->sendCommand(QStringLiteral("north\nsouth")));
    ASSERT_TRUE(waitUntil([&] {
        viewer->receiveDocuments(0);
        return document.commandPipeline().historyCommands().first() == u"south";
    }));
    EXPECT_EQ(input->textCursor().selectedText(), shown);
    QTest::keyClick(input, Qt::Key_Up);
    EXPECT_EQ(input->toPlainText(), older);
}

TEST_F(SessionProxyBridgeTest, JoiningALongSessionNeverHoldsTheMainThreadAndMissesNoLine)
{
    constexpr int kLines = 200000;
    for (int first = 0; first < kLines; first += 1000)
        m_document->appendAttributedString(gameLines(first, 1000));
    const quint16 port = share();
    ASSERT_NE(port, 0);

    // Lines keep arriving while the viewer joins.
    int live = 0;
    QTimer server;
    server.callOnTimeout(
        [&] { m_document->appendAttributedString(styled(QStringLiteral("live %1\r\n").arg(live++), Qt::yellow, {})); });
    server.start(2);
    StallProbe probe;
    ViewerThread viewer(port);
    ASSERT_TRUE(waitUntil([&] { return !viewer.documents().isEmpty(); }, 30000));
    const double stallMs = probe.longestStallMs();
    const int liveWhenReceived = live;
    ASSERT_TRUE(waitUntil([&] { return live > liveWhenReceived + 5; }));
    server.stop();
    m_document->appendAttributedString(styled(QStringLiteral("the end\r\n"), Qt::yellow, {}));
    ASSERT_TRUE(waitUntil(
        [&] {
            const QStringList documents = viewer.documents();
            return !documents.isEmpty() && entriesText(documents.last()) == u"the end\r\n";
        },
        10000));

    EXPECT_LT(stallMs, 50.0) << "the main thread stalled while the viewer joined";
    const QStringList documents = viewer.documents();
    ASSERT_GT(documents.size(), 5);
    EXPECT_TRUE(documents.first().startsWith(u"{\"action\":\"initialBuffer\","));
    // Lines that arrived while the buffer was made are in it, and those
    // after it follow as updates: none lost, none twice.
    const QString initialText = entriesText(documents.first());
    EXPECT_TRUE(initialText.contains(u"live 0\r\n"));
    EXPECT_EQ(initialText + rebuiltOutput(documents.mid(1)), outputText());
    EXPECT_GT(initialText.size(), kLines * 40);
}

TEST(MUDProxyInitialBufferTest, TheBufferIsTheOutputAsItIsWhenHandedOverWhateverChangedMeanwhile)
{
    MUDOutputModel output;
    for (int first = 0; first < 50000; first += 1000)
        output.append(gameLines(first, 1000));
    const auto expectedDocument = [&] {
        return MUDSessionProxyBridge::proxyDocument(QStringLiteral("initialBuffer"),
                                                    output.attributedSubstring({0, output.length()}));
    };
    MUDProxyInitialBuffer initialBuffer(output);
    QList<std::shared_ptr<const MUDProxyOutgoingFrame>> handed;
    initialBuffer.request([&](std::shared_ptr<const MUDProxyOutgoingFrame> frame) { handed.append(frame); });
    ASSERT_TRUE(initialBuffer.isCopying()) << "a long output is copied over several turns";
    // A second viewer asking meanwhile shares the same copy and frame.
    initialBuffer.request([&](std::shared_ptr<const MUDProxyOutgoingFrame> frame) { handed.append(frame); });
    // Text already copied is replaced, and more arrives.
    output.replaceCharacters({4, 6}, styled(QStringLiteral("hobgoblin"), Qt::blue, {{QStringLiteral("bg"), 44}}));
    output.append(gameLines(-1, 1));
    ASSERT_TRUE(waitUntil([&] { return handed.size() == 2; }, 20000));
    EXPECT_EQ(handed[0], handed[1]);
    EXPECT_EQ(documentOf(*handed[0]), expectedDocument());

    // The output cleared behind the copy.
    handed.clear();
    initialBuffer.request([&](std::shared_ptr<const MUDProxyOutgoingFrame> frame) { handed.append(frame); });
    ASSERT_TRUE(initialBuffer.isCopying());
    output.clear();
    output.append(gameLines(7, 2));
    ASSERT_TRUE(waitUntil([&] { return handed.size() == 1; }));
    EXPECT_EQ(documentOf(*handed[0]), expectedDocument());

    // A short output is handed over at once, an empty one as no entries.
    output.clear();
    handed.clear();
    initialBuffer.request([&](std::shared_ptr<const MUDProxyOutgoingFrame> frame) { handed.append(frame); });
    ASSERT_EQ(handed.size(), 1);
    EXPECT_EQ(documentOf(*handed[0]), QStringLiteral("{\"action\":\"initialBuffer\",\"entries\":[]}"));
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
    ASSERT_TRUE(waitForOutput(
        QStringLiteral("Could not share this session: No free local port from %1 to %1 for the proxy server.\r\n")
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
    QTextCharFormat italicFormat;
    italicFormat.setFontItalic(true);
    italic.addAttributes(italicFormat, {0, italic.length()});
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
    const Piece pieces[] = {{&greenBold, {generation, 1}},
                            {&greenDark, {generation, 2}},
                            {&plain, {generation, 3}},
                            {&greenDark, {}},
                            {&plain, {generation, 3}}};
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
    ASSERT_TRUE(viewer.start(QStringLiteral(QUARROW_VIEWER_PATH), {QString::number(port)}))
        << viewer.errorText().toStdString();
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
