#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include "SessionFixture.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDSessionChildWindows.h"
#include "app/session/MUDSessionWindow.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {

// Session windows opened the way the document controller opens them: child
// windows attached, shown, then given their connection.
class SessionWindowPlacementTest : public SessionFixture {
protected:
    void TearDown() override
    {
        for (const QPointer<MUDSessionWindow>& window : std::as_const(m_windows))
            delete window.data();
        SessionFixture::TearDown();
    }

    MUDSessionWindow* openWindow(const std::shared_ptr<MUDConnection>& connection)
    {
        MUDSessionWindow* window = showWindow(connection);
        EXPECT_TRUE(waitUntil([&] { return window->document().isConnected(); }));
        return window;
    }
    // Shown and given its connection, without waiting for the server.
    MUDSessionWindow* showWindow(const std::shared_ptr<MUDConnection>& connection)
    {
        auto* window = new MUDSessionWindow(&m_desktop);
        m_windows.append(window);
        m_children = MUDSessionChildWindows::attach(&window->document(), window);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        window->openConnection(connection);
        return window;
    }
    void writeState(const MUDConnection& connection, const MUDWindowState::Frames& frames)
    {
        const QString folder = MUDPreservation::urlForConnection(connection);
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(MUDWindowState::write(folder + QStringLiteral("/state.json"), frames));
    }
    // Within a few pixels: the layout may settle the window's size after it moved.
    static bool isCentred(const QWidget* window)
    {
        const QPoint offset = window->frameGeometry().center() - window->screen()->availableGeometry().center();
        return offset.manhattanLength() <= 4;
    }

    QList<QPointer<MUDSessionWindow>> m_windows;
    MUDSessionChildWindows* m_children = nullptr;
};

TEST_F(SessionWindowPlacementTest, AFirstSessionShowsItsMessagesWindowAndIsCentredHalfASecondLater)
{
    MUDSessionWindow* window = showWindow(storedConnection(QStringLiteral("First")));
    // Wherever the window lands meanwhile, it is centred once the half second is up.
    QElapsedTimer clock;
    clock.start();
    window->move(0, 0);
    ASSERT_TRUE(m_children->isCommunicationsWindowVisible()) << "scripts' messages are seen from the start";
    EXPECT_FALSE(m_children->isExitsWindowVisible());
    MUDMessagesWindowController* messages = m_children->messagesWindowController();
    const QPoint messagesOffset = messages->pos() - window->pos();
    EXPECT_TRUE(waitUntil([&] { return isCentred(window); }, 3000))
        << "at " << window->frameGeometry().x() << "," << window->frameGeometry().y();
    EXPECT_GE(clock.elapsed(), MUDSessionWindow::CentreDelayMs - 100);
    EXPECT_EQ(messages->pos() - window->pos(), messagesOffset) << "the messages window came along";
    EXPECT_TRUE(waitUntil([&] { return window->document().isConnected(); }));
}

TEST_F(SessionWindowPlacementTest, ASavedSessionIsNotCentredAndItsExitsFrameIsRestoredHidden)
{
    const std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Saved"));
    writeState(*connection, {{QStringLiteral("windowFrame"), QRectF(30, 40, 600, 400)},
                             {QStringLiteral("exitsWindowFrame"), QRectF(700, 300, 260, 140)}});
    MUDSessionWindow* window = openWindow(connection);
    spinEventLoop(MUDSessionWindow::CentreDelayMs + 200);
    EXPECT_EQ(window->geometry(), QRect(30, 40, 600, 400)) << "no centring over a saved frame";
    EXPECT_FALSE(m_children->isCommunicationsWindowVisible()) << "closed when the state has no messages frame";
    MUDExitsWindowController* exits = m_children->exitsWindowController();
    ASSERT_NE(exits, nullptr);
    EXPECT_FALSE(exits->isVisible());
    EXPECT_EQ(exits->geometry(), QRect(700, 300, 260, 140));

    // Shown from the menu, it keeps the saved size beside the session window.
    m_children->onViewExitsMainMenuItem();
    ASSERT_TRUE(exits->isVisible());
    EXPECT_EQ(exits->size(), QSize(260, 140));
    EXPECT_EQ(exits->frameGeometry().bottom(), window->frameGeometry().bottom() - 52);

    // A visible exits window is saved with its frame and comes back hidden there.
    exits->move(exits->pos() + QPoint(-15, 10));
    const QRect shown = exits->geometry();
    QPointer<MUDSessionWindow> guard(window);
    window->close();
    ASSERT_TRUE(waitUntil([&] { return guard.isNull(); }, 2000));
    openWindow(connection);
    ASSERT_NE(m_children->exitsWindowController(), nullptr);
    EXPECT_FALSE(m_children->exitsWindowController()->isVisible());
    EXPECT_EQ(m_children->exitsWindowController()->geometry(), shown);
}

TEST_F(SessionWindowPlacementTest, AStateWithoutAnExitsFrameLeavesTheExitsWindowClosed)
{
    const std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("NoExits"));
    writeState(*connection, {{QStringLiteral("windowFrame"), QRectF(30, 40, 600, 400)},
                             {QStringLiteral("messagesWindowFrame"), QRectF(650, 60, 300, 200)}});
    openWindow(connection);
    EXPECT_TRUE(m_children->isCommunicationsWindowVisible());
    EXPECT_EQ(m_children->messagesWindowController()->geometry(), QRect(650, 60, 300, 200));
    EXPECT_FALSE(m_children->isExitsWindowVisible());
}

}
