#include "app/session/MUDSessionWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TestSupport.h"
#include "app/scripting/MUDViewScriptErrorWindowController.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDScriptBridge.h"
#include "app/session/MUDSessionChildWindows.h"
#include "app/session/MUDWindowState.h"
#include "app/views/MUDAppearance.h"
#include "app/views/MUDCommandTextView.h"
#include "app/views/MUDDisplayLayoutManager.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "app/views/MUDFindBar.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDMessage.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/RecordingDesktopIntegration.h"

namespace {
class SessionWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_storage.isValid());
        qputenv("QUARROW_DATA_DIR", m_storage.path().toLocal8Bit());
        ASSERT_TRUE(m_server.isListening());
    }
    void TearDown() override
    {
        for (const QPointer<MUDSessionWindow>& window : std::as_const(m_windows))
            delete window.data();
        spinEventLoop(20);
    }

    std::shared_ptr<MUDConnection> storedConnection(const QString& title)
    {
        MUDConnection draft;
        auto record = std::make_shared<MUDConnection>();
        record->setTitle(title);
        record->setHost(QStringLiteral("127.0.0.1"));
        record->setPort(m_server.port());
        draft.setModifiedInstance(record);
        EXPECT_TRUE(MUDPreservation::saveConnection(draft));
        for (const std::shared_ptr<MUDConnection>& connection : MUDPreservation::loadConnections()) {
            if (connection->title() == title)
                return connection;
        }
        ADD_FAILURE() << "connection not stored";
        return record;
    }

    MUDSessionWindow* openWindow(const std::shared_ptr<MUDConnection>& connection)
    {
        auto* window = new MUDSessionWindow(&m_desktop);
        m_windows.append(window);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        const int accepted = m_server.acceptedCount();
        window->openConnection(connection);
        EXPECT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted && window->document().isConnected(); }));
        return window;
    }

    // Reports a script error the way the script bridge does; the output gains a "(details)" link.
    static MUDJavascriptError reportScriptError(MUDSessionWindow* window, const QString& scriptName)
    {
        MUDJavascriptError error;
        error.scriptName = scriptName;
        error.rawScript = QStringLiteral("command('$1'");
        error.processedScript = QStringLiteral("command('%1'").arg(scriptName);
        error.errorMessage = QStringLiteral("SyntaxError: Unexpected end of script");
        window->document().scriptBridge().javascriptProcessorHasError(nullptr, error);
        return error;
    }

    // Clicks the `occurrence`-th "(details)" link of the output, which must be on screen.
    static void clickDetailsLink(MUDSessionWindow* window, int occurrence)
    {
        MUDDisplayTextView* view = window->outputView()->textView();
        const MUDOutputModel& output = view->output();
        const QString text = output.text({0, output.length()});
        qsizetype link = -1;
        for (int i = 0; i <= occurrence; ++i)
            link = text.indexOf(u"(details)", link + 1);
        ASSERT_GE(link, 0);
        const qsizetype line = output.lineForOffset(link);
        QPoint point;
        for (const auto& visible : view->visibleLines()) {
            if (visible.line != line)
                continue;
            const QRectF rect =
                view->layoutManager().rangeRects(line, {link + 2 - output.lineRange(line).location, 1}).value(0);
            point = (rect.center() + QPointF(MUDDisplayLayoutManager::Margin, visible.top)).toPoint();
        }
        ASSERT_FALSE(point.isNull()) << "the error line is on screen";
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, point);
    }

    static QString shownText(MUDSessionWindow* window)
    {
        MUDDisplayTextView* view = window->outputView()->textView();
        QString text;
        for (const auto& visible : view->visibleLines())
            text += view->output().text(view->output().lineRange(visible.line));
        return text;
    }

    QTemporaryDir m_storage;
    LoopbackServer m_server;
    RecordingDesktopIntegration m_desktop;
    QList<QPointer<MUDSessionWindow>> m_windows;
};

TEST_F(SessionWindowTest, ReceivedTextIsShownInTheOutputView)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Loopback")));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Loopback"));
    m_server.send("Welcome to the \x1b[31mred\x1b[0m room.\r\n");
    EXPECT_TRUE(waitUntil([&] { return shownText(window).contains(QStringLiteral("Welcome to the red room.")); }));
    EXPECT_TRUE(window->outputView()->isAtBottomOfDocument());
    EXPECT_FALSE(window->commandTextView()->isReadOnly());
}

TEST_F(SessionWindowTest, TypedCommandsReachTheServerAndTheHistory)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Typing")));
    MUDCommandTextView* input = window->commandTextView();
    input->setFocus();
    for (const QString& command : {QStringLiteral("look"), QStringLiteral("north"), QStringLiteral("south")}) {
        QTest::keyClicks(input, command);
        QTest::keyClick(input, Qt::Key_Return);
        EXPECT_TRUE(waitUntil([&] { return m_server.receivedTexts().contains(command.toUtf8()); }));
    }
    EXPECT_TRUE(window->historyButton()->isEnabled());
    // Every arrow press shows a different line: Down never repeats what Up showed.
    const struct {
        Qt::Key key;
        const char* shown;
    } presses[] = {{Qt::Key_Up, "south"},   {Qt::Key_Up, "north"}, {Qt::Key_Up, "look"},  {Qt::Key_Down, "north"},
                   {Qt::Key_Down, "south"}, {Qt::Key_Down, ""},    {Qt::Key_Up, "south"}, {Qt::Key_Up, "north"},
                   {Qt::Key_Down, "south"}, {Qt::Key_Up, "north"}};
    for (const auto& press : presses) {
        QTest::keyClick(input, press.key);
        EXPECT_EQ(input->text(), QString::fromUtf8(press.shown))
            << (press.key == Qt::Key_Up ? "after Up" : "after Down");
    }

    QMenu* menu = window->historyMenu();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("south"));
    menu->actions().at(1)->trigger();
    EXPECT_EQ(input->text(), QStringLiteral("north"));
    // From a menu pick Down shows the newer entry too.
    QTest::keyClick(input, Qt::Key_Down);
    EXPECT_EQ(input->text(), QStringLiteral("south"));
}

TEST_F(SessionWindowTest, SendingACommandJumpsBackToTheEnd)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Jump")));
    QByteArray lines;
    for (int i = 0; i < 200; ++i)
        lines += "filler line " + QByteArray::number(i) + "\r\n";
    m_server.send(lines);
    ASSERT_TRUE(waitUntil([&] { return shownText(window).contains(QStringLiteral("filler line 199")); }));
    window->outputView()->verticalScrollBar()->setValue(10);
    ASSERT_TRUE(window->outputView()->hasUserScrolledAwayFromBottom());
    QTest::keyClicks(window->commandTextView(), QStringLiteral("say hi"));
    QTest::keyClick(window->commandTextView(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return window->outputView()->isAtBottomOfDocument(); }, 2000));
}

TEST_F(SessionWindowTest, TheReconnectButtonFollowsTheConnection)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Dropping")));
    EXPECT_FALSE(window->reconnectButton()->isVisible());
    m_server.dropClient();
    EXPECT_TRUE(waitUntil([&] { return window->reconnectButton()->isVisible(); }));
    EXPECT_FALSE(window->historyButton()->isEnabled());
    const int accepted = m_server.acceptedCount();
    window->reconnectButton()->click();
    EXPECT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted && window->document().isConnected(); }));
    EXPECT_TRUE(waitUntil([&] { return !window->reconnectButton()->isVisible(); }));
}

TEST_F(SessionWindowTest, ClosingSavesTheFrameAndTheNextWindowRestoresIt)
{
    const std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Stateful"));
    MUDSessionWindow* window = openWindow(connection);
    window->setGeometry(40, 60, 700, 500);
    const QString statePath = window->document().windowStatePath();
    QPointer<MUDSessionWindow> guard(window);
    window->close();
    EXPECT_TRUE(waitUntil([&] { return guard.isNull(); }, 2000)) << "the window goes away once closed";
    EXPECT_TRUE(waitUntil([&] { return m_server.clientClosed(); }));

    QFile file(statePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(state.value(QStringLiteral("windowFrame")).toString(), QStringLiteral("{{40, 60}, {700, 500}}"));

    MUDSessionWindow* reopened = openWindow(connection);
    EXPECT_EQ(reopened->geometry(), QRect(40, 60, 700, 500));
}

TEST_F(SessionWindowTest, TheMessagesWindowIsRestoredWhereItWasUnlessThatIsOffScreen)
{
    struct Row {
        const char* name;
        QRect saved;
        bool restoredThere;
    };
    const Row rows[] = {
        {"on screen", QRect(120, 90, 320, 210), true},
        {"off screen", QRect(-9000, -9000, 320, 210), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::shared_ptr<MUDConnection> connection = storedConnection(QString::fromLatin1(row.name));
        const QString folder = MUDPreservation::urlForConnection(*connection);
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(MUDWindowState::write(folder + QStringLiteral("/state.json"),
                                          {{QStringLiteral("windowFrame"), QRectF(30, 40, 600, 400)},
                                           {QStringLiteral("messagesWindowFrame"), QRectF(row.saved)}}));

        auto* window = new MUDSessionWindow(&m_desktop);
        m_windows.append(window);
        MUDSessionChildWindows* children = MUDSessionChildWindows::attach(&window->document(), window);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->openConnection(connection);
        ASSERT_TRUE(waitUntil([&] { return window->document().isConnected(); }));

        EXPECT_EQ(window->geometry(), QRect(30, 40, 600, 400));
        ASSERT_TRUE(children->isCommunicationsWindowVisible()) << "a saved messages window is shown again";
        EXPECT_EQ(children->messagesWindowController()->geometry() == row.saved, row.restoredThere);
        EXPECT_TRUE(children->messagesWindowController()->geometry().intersects(
            children->messagesWindowController()->screen()->geometry()))
            << "the player can reach it";

        // Closing saves the messages window's frame again.
        const QRect shown = children->messagesWindowController()->geometry();
        QPointer<MUDSessionWindow> guard(window);
        window->close();
        ASSERT_TRUE(waitUntil([&] { return guard.isNull(); }, 2000));
        EXPECT_EQ(
            MUDWindowState::read(folder + QStringLiteral("/state.json")).value(QStringLiteral("messagesWindowFrame")),
            QRectF(shown));
    }
}

TEST_F(SessionWindowTest, AGrowingInputLineSavesTheStateShortlyAfter)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Growing")));
    const QString statePath = window->document().windowStatePath();
    ASSERT_FALSE(QFile::exists(statePath));
    window->commandTextView()->setText(QStringLiteral("one\ntwo\nthree"));
    EXPECT_FALSE(QFile::exists(statePath)) << "saving waits for the input to settle";
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(statePath); }, 2000));
}

TEST_F(SessionWindowTest, AMatchTestFromTheTriggerEditorIsHighlighted)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Matching")));
    m_server.send("A goblin arrives.\r\n");
    ASSERT_TRUE(waitUntil([&] { return shownText(window).contains(QStringLiteral("goblin")); }));
    MUDMatchTest test;
    test.matchString = QStringLiteral("goblin");
    MUDNotificationCenter::defaultCenter().postNotification(MUDMatchTest::mudMatchHasTestNotificationName(),
                                                            QVariant::fromValue(test));
    MUDDisplayTextView* view = window->outputView()->textView();
    ASSERT_EQ(view->matchHighlights().size(), 1);
    EXPECT_EQ(view->output().text(view->matchHighlights().at(0).range), QStringLiteral("goblin"));
    MUDNotificationCenter::defaultCenter().postNotification(MUDMatchTest::mudMatchHasTestNotificationName());
    EXPECT_TRUE(view->matchHighlights().isEmpty());
}

TEST_F(SessionWindowTest, BlinkingRunsOnceASecondWhileTheWindowIsShown)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Blinking")));
    MUDDisplayTextView* view = window->outputView()->textView();
    const bool before = view->blinkState();
    EXPECT_TRUE(waitUntil([&] { return view->blinkState() != before; }, 2500));
}

TEST_F(SessionWindowTest, ClickingAScriptErrorsDetailsLinkOpensItsErrorWindow)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Errors")));
    const MUDJavascriptError error = reportScriptError(window, QStringLiteral("greet"));
    EXPECT_EQ(window->scriptErrorWindow(), nullptr);
    clickDetailsLink(window, 0);
    ASSERT_NE(window->scriptErrorWindow(), nullptr);
    EXPECT_EQ(window->scriptErrorWindow()->errorDetails().processedScript, error.processedScript);
}

TEST_F(SessionWindowTest, ASecondDetailsClickReplacesTheOpenErrorWindow)
{
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Two errors")));
    const MUDJavascriptError first = reportScriptError(window, QStringLiteral("greet"));
    const MUDJavascriptError second = reportScriptError(window, QStringLiteral("farewell"));
    clickDetailsLink(window, 0);
    const QPointer<MUDViewScriptErrorWindowController> firstWindow = window->scriptErrorWindow();
    ASSERT_NE(firstWindow, nullptr);
    EXPECT_EQ(firstWindow->errorDetails().processedScript, first.processedScript);

    clickDetailsLink(window, 1);
    ASSERT_NE(window->scriptErrorWindow(), nullptr);
    EXPECT_NE(window->scriptErrorWindow(), firstWindow.data());
    EXPECT_EQ(window->scriptErrorWindow()->errorDetails().processedScript, second.processedScript);
    EXPECT_TRUE(window->scriptErrorWindow()->isVisible());
    EXPECT_TRUE(waitUntil([&] { return firstWindow.isNull(); })) << "the first error window is closed and gone";
}

// True when some pixel is within a few steps of `colour` in each channel.
bool showsColour(const QImage& image, const QColor& colour)
{
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (std::abs(qRed(line[x]) - colour.red()) <= 8 && std::abs(qGreen(line[x]) - colour.green()) <= 8 &&
                std::abs(qBlue(line[x]) - colour.blue()) <= 8)
                return true;
        }
    }
    return false;
}

// The window as a player sees it, in the application's dark look: styled
// output, a selection, the find bar, the messages window and the error
// window. With QUARROW_SCREENSHOT_DIR set the pictures are saved there as PNG
// files to be looked at (run under an X server for the real platform look).
TEST_F(SessionWindowTest, ScreenshotsShowStyledOutputSelectionFindBarAndChildWindows)
{
    const QPalette palette = QApplication::palette();
    const QString style = QApplication::style()->name();
    MUDAppearance::applyDarkAppearance(*qApp);
    const auto restoreLook = qScopeGuard([&] {
        QApplication::setStyle(style);
        QApplication::setPalette(palette);
    });
    QList<std::pair<QString, QImage>> shots;

    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Screenshots")));
    window->resize(900, 480);
    m_server.send("\x1b[30;47mblack\x1b[0m \x1b[31mred\x1b[0m \x1b[32mgreen\x1b[0m \x1b[33myellow\x1b[0m "
                  "\x1b[34mblue\x1b[0m \x1b[35mmagenta\x1b[0m \x1b[36mcyan\x1b[0m \x1b[37mwhite\x1b[0m "
                  "\x1b[1;31mbold red\x1b[0m \x1b[41;37mwhite on red\x1b[0m\r\n"
                  "\x1b[38;5;208m256-colour orange\x1b[0m \x1b[38;5;51mcyan\x1b[0m \x1b[38;5;250;48;5;22mgrey on green"
                  "\x1b[0m\r\n"
                  "\x1b[38;2;255;128;0m24-bit orange\x1b[0m \x1b[38;2;120;200;255mand sky blue\x1b[0m\r\n"
                  "\x1b[4munderlined\x1b[0m \x1b[3mitalic\x1b[0m \x1b[5mblinking\x1b[0m \x1b[4;33munderlined "
                  "yellow\x1b[0m plain\r\n"
                  "A goblin arrives from the north.\r\n");
    ASSERT_TRUE(waitUntil([&] { return shownText(window).contains(QStringLiteral("goblin arrives")); }));
    reportScriptError(window, QStringLiteral("greet"));
    MUDDisplayTextView* view = window->outputView()->textView();
    const MUDOutputModel& output = view->output();
    const qsizetype goblin = output.text({0, output.length()}).indexOf(u"goblin");
    ASSERT_GE(goblin, 0);
    view->setSelectedRange({goblin, 24});
    spinEventLoop(50);

    const QImage session = window->grab().toImage();
    shots.append({QStringLiteral("session-output.png"), session});
    EXPECT_TRUE(showsColour(session, QColor(255, 128, 0))) << "the 24-bit colour is painted as sent";
    EXPECT_TRUE(showsColour(session, QApplication::palette().color(QPalette::Highlight))) << "the selection";

    window->outputView()->showFindBar();
    auto* findField = window->outputView()->findBar()->findChild<QLineEdit*>();
    ASSERT_NE(findField, nullptr);
    QTest::keyClicks(findField, QStringLiteral("orange"));
    spinEventLoop(50);
    EXPECT_TRUE(window->outputView()->findBar()->isVisible());
    shots.append({QStringLiteral("session-find-bar.png"), window->grab().toImage()});
    window->outputView()->hideFindBar();

    MUDSessionChildWindows* children = MUDSessionChildWindows::attach(&window->document(), window);
    children->showCommunicationsWindow();
    MUDMessagesWindowController* messages = children->messagesWindowController();
    ASSERT_NE(messages, nullptr);
    messages->addMessage(MUDMessage(QStringLiteral("Gandalf tells you: meet me at the bridge.")));
    messages->addMessage(MUDMessage(QStringLiteral("[newbie] Bilbo: where do I buy a lamp?")));
    spinEventLoop(50);
    EXPECT_TRUE(messages->messagesTextView()->toPlainText().contains(QStringLiteral("Gandalf tells you")));
    shots.append({QStringLiteral("messages-window.png"), messages->grab().toImage()});

    clickDetailsLink(window, 0);
    ASSERT_NE(window->scriptErrorWindow(), nullptr);
    spinEventLoop(50);
    shots.append({QStringLiteral("script-error-window.png"), window->scriptErrorWindow()->grab().toImage()});

    const QString folder = qEnvironmentVariable("QUARROW_SCREENSHOT_DIR");
    for (const auto& [name, image] : std::as_const(shots)) {
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        if (!folder.isEmpty()) {
            EXPECT_TRUE(QDir().mkpath(folder) && image.save(QDir(folder).filePath(name))) << name.toStdString();
        }
    }
}
}

TEST_F(SessionWindowTest, TabInTheOutputCompletesInTheInputLineInsteadOfMovingFocus)
{
    class Keywords : public MUDCommandTextViewDelegate {
    public:
        void MUDCommandTextViewReturnKey(MUDCommandTextView*) override { }
        void MUDCommandTextViewUpArrow(MUDCommandTextView*) override { }
        void MUDCommandTextViewDownArrow(MUDCommandTextView*) override { }
        QStringList MUDCommandTextWantsKeywords(MUDCommandTextView*) override { return {QStringLiteral("northeast")}; }
    } keywords;
    MUDSessionWindow* window = openWindow(storedConnection(QStringLiteral("Completion")));
    MUDCommandTextView* input = window->commandTextView();
    input->setDelegate(&keywords);
    input->setText(QStringLiteral("go no"));
    MUDDisplayTextView* output = window->outputView()->textView();
    output->setFocus();
    ASSERT_TRUE(waitUntil([&] { return output->hasFocus(); }, 1000));
    QTest::keyClick(output, Qt::Key_Tab);
    EXPECT_EQ(input->text(), QStringLiteral("go northeast"));
    EXPECT_TRUE(waitUntil([&] { return input->hasFocus(); }, 1000));
    input->setDelegate(window);
}
