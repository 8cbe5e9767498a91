#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TelnetTestServer.h"
#include "TestSupport.h"
#include "TinyMuxServer.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/MUDDisplayLayoutManager.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/RecordingDesktopIntegration.h"

namespace {

using namespace MUDTelnet;

// A shown session window connected to a game server with telnet options on.
class SessionTelnetWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_storage.isValid());
        qputenv("QUARROW_DATA_DIR", m_storage.path().toLocal8Bit());
    }
    void TearDown() override
    {
        delete m_window.data();
        spinEventLoop(20);
    }

    std::shared_ptr<MUDConnection> storedConnection(quint16 port)
    {
        MUDConnection draft;
        auto record = std::make_shared<MUDConnection>();
        record->setTitle(QStringLiteral("Sized"));
        record->setHost(QStringLiteral("127.0.0.1"));
        record->setPort(port);
        record->setNegotiatesTelnetOptions(true);
        draft.setModifiedInstance(record);
        EXPECT_TRUE(MUDPreservation::saveConnection(draft));
        return MUDPreservation::loadConnections().value(0);
    }

    void openWindow(quint16 port)
    {
        m_window = new MUDSessionWindow(&m_desktop);
        m_window->resize(700, 500);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window));
        m_window->openConnection(storedConnection(port));
        ASSERT_TRUE(waitUntil([&] { return m_window->document().isConnected(); }, 10000));
    }

    // What fits the output view, as a player counts it: lines of the
    // session font's line height, each as wide as the widest letter allows.
    QSize visibleCharacters() const
    {
        const MUDDisplayTextView* view = m_window->outputView()->textView();
        const QFontMetricsF metrics(view->font());
        return QSize(int((view->width() - 2 * MUDDisplayLayoutManager::Margin) / metrics.horizontalAdvance(u'M')),
                     int(view->height() / metrics.lineSpacing()));
    }

    static QByteArray nawsPayload(QSize size)
    {
        const char bytes[] = {char(size.width() >> 8), char(size.width()), char(size.height() >> 8),
                              char(size.height())};
        return QByteArray(bytes, 4);
    }

    QTemporaryDir m_storage;
    RecordingDesktopIntegration m_desktop;
    QPointer<MUDSessionWindow> m_window;
};

// The server hears the size when it asks, and once more after the player
// has finished dragging the window bigger, however many steps the drag took.
TEST_F(SessionTelnetWindowTest, TheServerHearsTheOutputSizeWhenAgreedAndAfterAResize)
{
    LoopbackServer server;
    TelnetTestServer telnet(server);
    openWindow(server.port());
    const QSize before = visibleCharacters();
    ASSERT_GT(before.width(), 20);
    server.send(command(Do, Option::WindowSize));
    ASSERT_TRUE(waitUntil([&] { return !telnet.subnegotiations(Option::WindowSize).isEmpty(); }));
    EXPECT_EQ(telnet.count(command(Will, Option::WindowSize)), 1);
    EXPECT_EQ(telnet.subnegotiations(Option::WindowSize), QList<QByteArray>{nawsPayload(before)});

    for (int step = 1; step <= 5; ++step) {
        m_window->resize(700 + 40 * step, 500 + 30 * step);
        spinEventLoop(30);
    }
    const QSize after = visibleCharacters();
    ASSERT_GT(after.width(), before.width());
    ASSERT_GT(after.height(), before.height());
    ASSERT_TRUE(waitUntil([&] { return telnet.subnegotiations(Option::WindowSize).size() >= 2; }));
    spinEventLoop(600);
    EXPECT_EQ(telnet.subnegotiations(Option::WindowSize), QList<QByteArray>({nawsPayload(before), nawsPayload(after)}));
}

// TinyMUX says what it was told: the window's size, the terminal type and
// that the text is Unicode (it offered UTF-8 among its character sets).
TEST_F(SessionTelnetWindowTest, TinyMuxReportsTheWindowSizeTerminalTypeAndCharsetItReceived)
{
    TinyMuxServer mux;
    QString error;
    ASSERT_TRUE(mux.start(&error)) << error.toStdString();
    LogRecorder log;
    openWindow(mux.port());
    MUDDocument& document = m_window->document();
    const auto output = [&] { return document.output().text({0, document.output().length()}); };
    ASSERT_TRUE(waitUntil([&] { return output().contains(QStringLiteral("Welcome to TinyMUX")); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("MUDSessionTelnet - the server sends UTF-8")); }));

    const QSize size = visibleCharacters();
    document.processCommand(
        QStringLiteral("connect %1 %2").arg(TinyMuxServer::WizardName, TinyMuxServer::WizardPassword), nullptr);
    document.processCommand(QStringLiteral("think size [width(me)]x[height(me)] type [terminfo(me)]"), nullptr);
    const QString expected =
        QStringLiteral("size %1x%2 type QUARROW telnet unicode").arg(size.width()).arg(size.height());
    EXPECT_TRUE(waitUntil([&] { return output().contains(expected); }, 10000)) << output().right(400).toStdString();
}

}
