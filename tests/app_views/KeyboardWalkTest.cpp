#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TabWalk.h"
#include "TestSupport.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDSessionChildWindows.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/MUDCommandTextView.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/RecordingDesktopIntegration.h"

// Every control of the session window and its panels is reached by the
// keyboard alone and has a name a screen reader can speak.
namespace {
class SessionKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_storage.isValid());
        qputenv("QUARROW_DATA_DIR", m_storage.path().toLocal8Bit());
        ASSERT_TRUE(m_server.isListening());
        MUDConnection draft;
        auto record = std::make_shared<MUDConnection>();
        record->setTitle(QStringLiteral("Walk"));
        record->setHost(QStringLiteral("127.0.0.1"));
        record->setPort(m_server.port());
        draft.setModifiedInstance(record);
        ASSERT_TRUE(MUDPreservation::saveConnection(draft));
        m_window = new MUDSessionWindow(&m_desktop);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window));
        m_window->openConnection(MUDPreservation::loadConnections().value(0));
        ASSERT_TRUE(waitUntil([&] { return m_window->document().isConnected(); }));
    }
    void TearDown() override
    {
        delete m_window;
        spinEventLoop(20);
    }

    QTemporaryDir m_storage;
    LoopbackServer m_server;
    RecordingDesktopIntegration m_desktop;
    MUDSessionWindow* m_window = nullptr;
};
} // namespace

TEST_F(SessionKeyboardTest, TabReachesOutputInputAndButtonsEachNamed)
{
    m_server.send("Hello there.\r\n");
    ASSERT_TRUE(waitUntil([&] { return m_window->document().output().length() > 0; }));
    expectReachableAndNamedByTab(m_window, m_window->commandTextView());
    const TabWalk walk = TabWalk::from(m_window->commandTextView());
    EXPECT_TRUE(walk.visited.contains(m_window->outputView()->textView()));
    EXPECT_TRUE(walk.visited.contains(m_window->commandTextView()));

    // Disconnected, the reconnect button shows and joins the walk.
    m_server.dropClient();
    ASSERT_TRUE(waitUntil([&] { return m_window->reconnectButton()->isVisible(); }));
    expectReachableAndNamedByTab(m_window, m_window->commandTextView());
    EXPECT_TRUE(TabWalk::from(m_window->commandTextView()).visited.contains(m_window->reconnectButton()));
}

TEST_F(SessionKeyboardTest, ShiftTabLeavesTheInputLineWithoutCompleting)
{
    MUDCommandTextView* input = m_window->commandTextView();
    input->activateWindow();
    input->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(input, QStringLiteral("lo"));
    QTest::keyClick(input, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(input->hasFocus());
    EXPECT_EQ(input->toPlainText(), QStringLiteral("lo"));
    // A plain Tab still completes.
    input->setFocus(Qt::TabFocusReason);
    QTest::keyClick(input, Qt::Key_Tab);
    EXPECT_TRUE(input->hasFocus());
    EXPECT_EQ(input->toPlainText(), QStringLiteral("look"));
}

TEST_F(SessionKeyboardTest, MessagesAndExitsPanelsAreReachableAndCloseByKeyboard)
{
    MUDSessionChildWindows* children = MUDSessionChildWindows::attach(&m_window->document(), m_window);
    children->showCommunicationsWindow();
    children->showExitsWindow();
    for (MUDExtraWindow* panel : {static_cast<MUDExtraWindow*>(children->messagesWindowController()),
                                  static_cast<MUDExtraWindow*>(children->exitsWindowController())}) {
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
        expectReachableAndNamedByTab(panel, panel->textView());
        // The close label is a control: Space on it closes the panel.
        QLabel* close = panel->closeButtonTextField();
        close->setFocus(Qt::TabFocusReason);
        QTest::keyClick(close, Qt::Key_Space);
        EXPECT_FALSE(panel->isVisible());
    }
}
