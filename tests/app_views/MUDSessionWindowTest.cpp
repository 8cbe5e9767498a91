#include "app/session/MUDSessionWindow.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TestSupport.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDDocument.h"
#include "app/views/MUDCommandTextView.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {
class SilentDesktop : public MUDDesktopIntegration {
public:
    void setBadge(const QString& text) override { badges.append(text); }
    void setStatus(const QString&) override {}
    void postNotification(const QString&, const QString&) override {}
    void beep() override {}
    QStringList badges;
};

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
    SilentDesktop m_desktop;
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
    for (const QString& command : {QStringLiteral("look"), QStringLiteral("north")}) {
        QTest::keyClicks(input, command);
        QTest::keyClick(input, Qt::Key_Return);
        EXPECT_TRUE(waitUntil([&] { return m_server.receivedTexts().contains(command.toUtf8()); }));
    }
    EXPECT_TRUE(window->historyButton()->isEnabled());
    QTest::keyClick(input, Qt::Key_Up);
    EXPECT_EQ(input->text(), QStringLiteral("north"));
    QTest::keyClick(input, Qt::Key_Up);
    EXPECT_EQ(input->text(), QStringLiteral("look"));
    // Down steps the browse position back: it shows the entry Up showed last, then the newer one.
    QTest::keyClick(input, Qt::Key_Down);
    EXPECT_EQ(input->text(), QStringLiteral("look"));
    QTest::keyClick(input, Qt::Key_Down);
    EXPECT_EQ(input->text(), QStringLiteral("north"));

    QMenu* menu = window->historyMenu();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("north"));
    menu->actions().at(1)->trigger();
    EXPECT_EQ(input->text(), QStringLiteral("look"));
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
}
