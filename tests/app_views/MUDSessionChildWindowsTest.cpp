#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "TestSupport.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDSessionChildWindows.h"
#include "app/views/MUDFontHelper.h"
#include "core/CVColorHelpers.h"

namespace {

// A session window stand-in with its document and child windows.
struct Session {
    MUDDocument document{nullptr};
    QWidget window;
    MUDSessionChildWindows* childWindows = nullptr;

    Session()
    {
        window.setGeometry(100, 50, 800, 600);
        window.show();
        childWindows = MUDSessionChildWindows::attach(&document, &window);
    }

    MUDMessagesWindowController* shownMessages()
    {
        childWindows->showCommunicationsWindow();
        return childWindows->messagesWindowController();
    }
    MUDExitsWindowController* shownExits()
    {
        childWindows->showExitsWindow();
        return childWindows->exitsWindowController();
    }
};

QString messagesText(MUDMessagesWindowController* controller)
{
    return controller->messagesTextView()->toPlainText();
}

TEST(MUDMessagesWindow, ShowsAppendedMessagesWithAGapAndClears)
{
    Session session;
    MUDMessagesWindowController* messages = session.shownMessages();
    ASSERT_NE(messages, nullptr);
    EXPECT_EQ(messagesText(messages), QString());

    session.document.addMessage(MUDMessage(QStringLiteral("first")));
    session.document.addMessage(MUDMessage(QStringLiteral("\u0007second\r\n")));
    EXPECT_EQ(messagesText(messages), QStringLiteral("first\n\nsecond\n"));

    QTextDocument* text = messages->messagesTextView()->document();
    const QTextBlock gap = text->findBlockByNumber(1);
    EXPECT_EQ(gap.blockFormat().lineHeightType(), int(QTextBlockFormat::FixedHeight));
    EXPECT_EQ(gap.blockFormat().lineHeight(), 5.0);
    EXPECT_NE(text->findBlockByNumber(0).blockFormat().lineHeightType(), int(QTextBlockFormat::FixedHeight));
    const QTextCharFormat format = text->findBlockByNumber(2).begin().fragment().charFormat();
    // Read at the size of the session's output, not in small print.
    EXPECT_EQ(format.font().pointSizeF(), MUDDocument::localFont().pointSizeF());
    EXPECT_EQ(format.font().family(), MUDFontHelper::monospacedFontOfSize(10).family());

    session.document.clearMessages();
    EXPECT_EQ(messagesText(messages), QString());
    session.document.addMessage(MUDMessage(QStringLiteral("third")));
    EXPECT_EQ(messagesText(messages), QStringLiteral("third\n"));
}

TEST(MUDMessagesWindow, MessagesReportedWhileClosedAreListedOnTheNextShow)
{
    Session session;
    session.document.addMessage(MUDMessage(QStringLiteral("before first show")));
    MUDMessagesWindowController* messages = session.shownMessages();
    EXPECT_EQ(messagesText(messages), QStringLiteral("before first show\n"));

    messages->onCloseClick();
    EXPECT_FALSE(messages->isVisible());
    session.document.addMessage(MUDMessage(QStringLiteral("while closed")));
    EXPECT_EQ(session.shownMessages(), messages);
    EXPECT_TRUE(messages->isVisible());
    EXPECT_EQ(messagesText(messages), QStringLiteral("before first show\n\nwhile closed\n"));
}

TEST(MUDMessagesWindow, SitsBesideTheSessionWindowsTopRightEdge)
{
    EXPECT_EQ(MUDMessagesWindowController::originBesideSessionFrame(QRect(100, 50, 800, 600), QSize(300, 200)),
              QPoint(100 + 800 - 300 - 2 + 300, 50 + 52));
    EXPECT_EQ(MUDMessagesWindowController::originBesideSessionFrame(QRect(0, 0, 400, 300), QSize(250, 100)),
              QPoint(448, 52));

    Session session;
    MUDMessagesWindowController* messages = session.shownMessages();
    const QRect sessionFrame = session.window.frameGeometry();
    EXPECT_EQ(messages->frameGeometry().topLeft(),
              MUDMessagesWindowController::originBesideSessionFrame(sessionFrame, messages->frameGeometry().size()));
    EXPECT_EQ(messages->frameGeometry().right(), sessionFrame.right() + 298);

    // It travels with the session window.
    const QPoint before = messages->pos();
    session.window.move(session.window.pos() + QPoint(40, 30));
    EXPECT_TRUE(waitUntil([&] { return messages->pos() == before + QPoint(40, 30); }, 2000));
}

TEST(MUDMessagesWindow, MenuItemTogglesAndReportsVisibility)
{
    Session session;
    EXPECT_TRUE(session.childWindows->isCommunicationsWindowVisible()) << "shown with the session window";
    session.childWindows->onViewCommunicationMainMenuItem();
    EXPECT_FALSE(session.childWindows->isCommunicationsWindowVisible());
    session.childWindows->onViewCommunicationMainMenuItem();
    EXPECT_TRUE(session.childWindows->isCommunicationsWindowVisible());
}

TEST(MUDMessagesWindow, AppearsBesideTheSessionWindowWhenThatFirstShows)
{
    MUDDocument document(nullptr);
    QWidget window;
    window.setGeometry(100, 50, 800, 600);
    MUDSessionChildWindows* childWindows = MUDSessionChildWindows::attach(&document, &window);
    EXPECT_FALSE(childWindows->isCommunicationsWindowVisible()) << "nothing shows before the session window";
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(childWindows->isCommunicationsWindowVisible());
    MUDMessagesWindowController* messages = childWindows->messagesWindowController();
    EXPECT_EQ(messages->frameGeometry().topLeft(), MUDMessagesWindowController::originBesideSessionFrame(
                                                       window.frameGeometry(), messages->frameGeometry().size()));
    EXPECT_FALSE(childWindows->isExitsWindowVisible());

    // Closed by the player, it stays closed when the session window shows again.
    messages->onCloseClick();
    window.hide();
    window.show();
    EXPECT_FALSE(childWindows->isCommunicationsWindowVisible());
}

TEST(MUDSessionChildWindows, StayBesideTheSessionWindowWhenItIsResized)
{
    Session session;
    MUDMessagesWindowController* messages = session.shownMessages();
    MUDExitsWindowController* exits = session.shownExits();
    const QRect messagesBefore = messages->frameGeometry();
    const QRect exitsBefore = exits->frameGeometry();
    ASSERT_GT(messagesBefore.left(), session.window.frameGeometry().left());

    // Wider: both keep their distance to the right edge instead of covering the output.
    session.window.resize(session.window.width() + 240, session.window.height());
    EXPECT_TRUE(waitUntil([&] { return messages->frameGeometry() == messagesBefore.translated(240, 0); }, 2000))
        << "messages window at " << messages->frameGeometry().x();
    EXPECT_TRUE(waitUntil([&] { return exits->frameGeometry() == exitsBefore.translated(240, 0); }, 2000));
    const QRect sessionFrame = session.window.frameGeometry();
    EXPECT_EQ(messages->frameGeometry().right(), sessionFrame.right() + 298);
    EXPECT_EQ(exits->frameGeometry().right(), sessionFrame.right() + 298);

    // Taller: the messages window stays by the top edge, the exits window by the bottom one.
    session.window.resize(session.window.width(), session.window.height() + 80);
    EXPECT_TRUE(waitUntil([&] { return exits->frameGeometry() == exitsBefore.translated(240, 80); }, 2000));
    EXPECT_EQ(messages->frameGeometry(), messagesBefore.translated(240, 0));
    EXPECT_EQ(exits->frameGeometry().bottom(), session.window.frameGeometry().bottom() - 52);

    // Narrower from the left edge (a move and a resize): the right edge stays, so do they.
    const QRect frame = session.window.geometry();
    session.window.setGeometry(frame.adjusted(100, 0, 0, 0));
    spinEventLoop(50);
    EXPECT_EQ(messages->frameGeometry(), messagesBefore.translated(240, 0));
    EXPECT_EQ(exits->frameGeometry(), exitsBefore.translated(240, 80));
}

TEST(MUDExtraWindowLook, PanelsAreFramelessTranslucentAndTinted)
{
    Session session;
    struct Row {
        MUDExtraWindow* window;
        const char16_t* hex;
    };
    for (const Row& row : {Row{session.shownMessages(), u"2d1a31"}, Row{session.shownExits(), u"4f1713"}}) {
        SCOPED_TRACE(QString::fromUtf16(row.hex).toStdString());
        EXPECT_TRUE(row.window->windowFlags().testFlag(Qt::FramelessWindowHint));
        EXPECT_TRUE(row.window->windowFlags().testFlag(Qt::NoDropShadowWindowHint));
        EXPECT_NEAR(row.window->windowOpacity(), MUDExtraWindow::WindowAlpha, 1.0 / 255); // stored in 8 bits
        EXPECT_EQ(row.window->palette().color(QPalette::Window), darkerColor(hexToColor(row.hex)));
        EXPECT_EQ(row.window->textView()->viewport()->palette().color(QPalette::Base),
                  darkerColor(hexToColor(row.hex)));
        EXPECT_EQ(row.window->parentWidget(), &session.window);
    }
}

TEST(MUDExtraWindowLook, CloseLabelClosesOnAPrimaryClickOnly)
{
    Session session;
    MUDMessagesWindowController* messages = session.shownMessages();
    QLabel* label = messages->closeButtonTextField();
    QTest::mouseClick(label, Qt::RightButton);
    EXPECT_TRUE(messages->isVisible());
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_FALSE(messages->isVisible());
}

TEST(MUDExtraWindowLook, DraggingTheBackgroundMovesThePanel)
{
    Session session;
    MUDExitsWindowController* exits = session.shownExits();
    const QPoint start = exits->pos();
    const QPoint grab(3, exits->height() / 2);
    QTest::mousePress(exits, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(25, 15)),
                     exits->mapToGlobal(QPointF(grab + QPoint(25, 15))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(exits, &move);
    QTest::mouseRelease(exits, Qt::LeftButton, {}, grab + QPoint(25, 15));
    EXPECT_EQ(exits->pos(), start + QPoint(25, 15));
}

TEST(MUDExitsWindow, ShowsTheReportedExitsAndFollowsChanges)
{
    Session session;
    session.document.setExits({MUDExit(QStringLiteral("north"), QStringLiteral("to the hall")),
                               MUDExit(QStringLiteral("east"), QString()),
                               MUDExit(QString(), QStringLiteral("hidden"))});
    MUDExitsWindowController* exits = session.shownExits();
    EXPECT_EQ(exits->exitsTextView()->toPlainText(), QStringLiteral("north : to the hall\neast"));
    const QTextCharFormat format = exits->exitsTextView()->document()->begin().begin().fragment().charFormat();
    EXPECT_EQ(format.font().pointSizeF(), MUDFontHelper::systemFontSize());

    session.document.setExits({MUDExit(QStringLiteral("down"), QStringLiteral("cellar"))});
    EXPECT_EQ(exits->exitsTextView()->toPlainText(), QStringLiteral("down : cellar"));
    session.document.setExits({});
    EXPECT_EQ(exits->exitsTextView()->toPlainText(), QString());
}

TEST(MUDExitsWindow, HidesAndTogglesFromTheMenu)
{
    Session session;
    session.childWindows->hideExitsWindow(); // nothing made yet: nothing to hide
    EXPECT_EQ(session.childWindows->exitsWindowController(), nullptr);
    session.childWindows->onViewExitsMainMenuItem();
    EXPECT_TRUE(session.childWindows->isExitsWindowVisible());
    const QRect sessionFrame = session.window.frameGeometry();
    MUDExitsWindowController* exits = session.childWindows->exitsWindowController();
    EXPECT_EQ(exits->frameGeometry().bottom(), sessionFrame.bottom() - 52);
    session.childWindows->hideExitsWindow();
    EXPECT_FALSE(session.childWindows->isExitsWindowVisible());
    session.childWindows->onViewExitsMainMenuItem();
    session.childWindows->onViewExitsMainMenuItem();
    EXPECT_FALSE(session.childWindows->isExitsWindowVisible());
}

}
