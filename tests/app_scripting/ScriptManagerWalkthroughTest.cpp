#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "LoopbackServer.h"
#include "ScriptingFixture.h"
#include "TestSupport.h"
#include "app/scripting/MUDFolderNameWindowController.h"
#include "app/scripting/MUDRegexField.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptingLeftPanelViewController.h"
#include "app/scripting/MUDScriptingOutlineViewController.h"
#include "app/scripting/MUDScriptingWindowController.h"
#include "app/scripting/MUDTriggerEditorViewController.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/CVHighlightableTextView.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/NullDesktopIntegration.h"

namespace {

// A player's way through the script manager against a live session: a
// folder, a regular-expression trigger, its live match test, OK, and the
// trigger firing on the next server line. Each step is grabbed to a PNG
// (into $QUARROW_SCREENSHOT_DIR when set) so the screens can be looked at.
class ScriptManagerWalkthroughTest : public ScriptingFixture {
protected:
    void screenshot(QWidget* widget, const QString& name)
    {
        const QImage image = widget->grab().toImage();
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        const QString folder = qEnvironmentVariable("QUARROW_SCREENSHOT_DIR", m_storage.path());
        QDir().mkpath(folder);
        EXPECT_TRUE(image.save(folder + QStringLiteral("/") + name + QStringLiteral(".png")));
    }
    QString output() const { return m_document->output().text({0, m_document->output().length()}); }

    LoopbackServer m_server;
    NullDesktopIntegration m_desktop;
    // Deletes itself when closed.
    QPointer<MUDSessionWindow> m_sessionWindow;
    MUDDocument* m_document = nullptr;
};

TEST_F(ScriptManagerWalkthroughTest, FolderAndRegexTriggerMadeInTheManagerFireInTheSession)
{
    ASSERT_TRUE(m_server.isListening());
    m_sessionWindow = new MUDSessionWindow(&m_desktop);
    m_sessionWindow->resize(760, 420);
    m_sessionWindow->show();
    m_document = &m_sessionWindow->document();
    m_sessionWindow->openConnection(storedConnection(QStringLiteral("Arena"), {}, m_server.port()));
    ASSERT_TRUE(waitUntil([&] { return m_server.hasClient() && m_document->isConnected(); }));
    m_server.send("Bob arrives from the north.\r\n");
    ASSERT_TRUE(waitUntil([&] { return output().contains(QStringLiteral("Bob arrives")); }));

    QPointer<MUDScriptingWindowController> window = MUDScriptingWindowController::showForDocument(
        *m_document, m_document->connection(), MUDScriptKind::Triggers, m_sessionWindow.data());
    spinEventLoop(50);
    screenshot(window, QStringLiteral("1-manager-opened"));

    window->onAddNewFolder();
    MUDFolderNameWindowController* sheet =
        window->leftPanel()->treeController(MUDScriptKind::Triggers)->folderNameSheet();
    ASSERT_NE(sheet, nullptr);
    QTest::keyClicks(sheet->nameField(), QStringLiteral("Greetings"));
    screenshot(sheet, QStringLiteral("2-folder-name-sheet"));
    sheet->okButton()->click();
    spinEventLoop(50);

    window->onAddNewEntry();
    MUDTriggerEditorViewController* editor = window->triggerEditor();
    ASSERT_NE(editor->currentTrigger(), nullptr);
    editor->patternPopup()->setCurrentIndex(1);
    emit editor->patternPopup()->activated(1);
    QTest::keyClicks(editor->matchField(), QStringLiteral("^(\\w+) arrives (from|to) the [a-z]+\\."));
    editor->actionView()->setPlainText(QStringLiteral("command('wave');"));
    // Return ends the editing of the field and brings its colours back.
    QTest::keyClick(editor->matchField(), Qt::Key_Return);
    spinEventLoop(50);
    EXPECT_FALSE(editor->matchField()->coloredSpans().isEmpty());
    const MUDMatchTest test = m_document->mudMatchTest().value<MUDMatchTest>();
    EXPECT_EQ(test.matchType, 1);
    EXPECT_EQ(test.matchString, QStringLiteral("^(\\w+) arrives (from|to) the [a-z]+\\."));
    screenshot(window, QStringLiteral("3-regex-trigger-with-live-test"));
    screenshot(m_sessionWindow.data(), QStringLiteral("4-session-shows-the-live-match"));

    window->okButton()->click();
    EXPECT_TRUE(output().contains(QStringLiteral("Triggers reloaded")));
    EXPECT_FALSE(m_document->mudMatchTest().isValid());
    EXPECT_TRUE(QFileInfo::exists(MUDPreservation::urlForTriggersInConnection(*m_document->connection()) +
                                  QStringLiteral("/Greetings/New trigger.trigger")));

    m_server.send("Alice arrives from the south.\r\n");
    EXPECT_TRUE(waitUntil([&] { return m_server.receivedTexts().contains("wave"); }, 5000));
    spinEventLoop(100);
    EXPECT_TRUE(output().contains(QStringLiteral("Alice arrives from the south."))) << output().toStdString();
    screenshot(m_sessionWindow.data(), QStringLiteral("5-session-after-the-trigger-fired"));
    m_sessionWindow->close();
    EXPECT_TRUE(waitUntil([&] { return m_sessionWindow.isNull(); }, 2000));
}

}
