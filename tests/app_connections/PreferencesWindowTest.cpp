#include "app/shell/MUDPreferencesWindowController.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFontComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextLayout>

#include "ConnectionsTestSupport.h"
#include "LoopbackServer.h"
#include "TestSupport.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/MUDDocumentController.h"
#include "app/shell/MUDMainMenu.h"
#include "app/views/MUDCommandTextView.h"
#include "app/views/MUDDisplayLayoutManager.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "app/views/MUDFontHelper.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/storage/MUDUserSettings.h"
#include "tests/support/doubles/NullDesktopIntegration.h"

namespace {
const QString kOtherFamily = QStringLiteral("Liberation Mono");

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// The session font as it is now, before any preference is stored.
QFont defaultSessionFont()
{
    return MUDFontHelper::monospacedFontOfSize(MUDFontHelper::systemFontSize() + 5);
}

// The fonts the text of an output line is drawn in, as its layout shapes it.
QList<QFont> drawnFonts(MUDSessionWindow* session, qsizetype line)
{
    QList<QFont> fonts;
    const QTextLayout& layout = session->outputView()->textView()->layoutManager().layout(line);
    for (const QTextLayout::FormatRange& range : layout.formats())
        fonts << range.format.font().resolve(layout.font());
    if (fonts.isEmpty())
        fonts << layout.font();
    return fonts;
}

QString outputText(MUDSessionWindow* session)
{
    const MUDOutputModel& output = session->document().output();
    return output.text({0, output.length()});
}

QPoint checkBoxIndicatorCentre(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    return box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
}
} // namespace

class PreferencesWindow : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        ASSERT_TRUE(server.isListening());
        MUDDocumentController::setCanOpenUntitledDocument(false);
        delegate = std::make_unique<AppDelegate>(&desktop);
        delegate->setInstallsLogDelegate(false);
    }
    void TearDown() override
    {
        delegate.reset();
        spinEventLoop(20);
        DataFolderTest::TearDown();
    }

    QString preferencesFile() const { return dataFolder() + QStringLiteral("/preferences.ini"); }

    // Launches the shell and opens a session that has received two lines.
    MUDSessionWindow* openSession()
    {
        storeConnection(QStringLiteral("Game"), QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("G"));
        delegate->applicationDidFinishLaunching();
        const QList<QAction*> items = delegate->connectMenu()->actions();
        EXPECT_EQ(items.size(), 3);
        if (items.size() != 3)
            return nullptr;
        items.last()->trigger();
        auto* session = qobject_cast<MUDSessionWindow*>(delegate->documentController().sessionWindows().value(0));
        EXPECT_TRUE(session);
        if (!session)
            return nullptr;
        EXPECT_TRUE(QTest::qWaitForWindowExposed(session));
        EXPECT_TRUE(waitUntil([&] { return server.hasClient(); }));
        server.send("Welcome to the game.\r\nA goblin is here.\r\n");
        EXPECT_TRUE(waitUntil([&] { return outputText(session).contains(u"goblin"); }));
        session->activateWindow();
        EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == session; }));
        return session;
    }

    // Ctrl+, typed in the session's input line.
    MUDPreferencesWindowController* openPreferencesByShortcut(MUDSessionWindow* session)
    {
        QTest::keyClick(session->commandTextView(), Qt::Key_Comma, Qt::ControlModifier);
        MUDPreferencesWindowController* window = delegate->preferencesWindow();
        EXPECT_TRUE(window && window->isVisible());
        if (window) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        }
        return window;
    }

    LoopbackServer server;
    NullDesktopIntegration desktop;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(PreferencesWindow, OpensFromTheMenuAndTheShortcutAsOneWindow)
{
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    QMenu* applicationMenu = session->menuBar()->actions().value(0)->menu();
    ASSERT_TRUE(applicationMenu);
    QAction* item = nullptr;
    for (QAction* action : applicationMenu->actions())
        if (action->text() == QStringLiteral("Preferences…"))
            item = action;
    ASSERT_TRUE(item);
    EXPECT_EQ(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));

    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);
    EXPECT_EQ(session->commandTextView()->text(), QString()) << "the shortcut types nothing";
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->windowTitle(), "Preferences");

    // Back in the session (it still takes input), the menu item raises the same window.
    session->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == session; }));
    QTest::keyClicks(session->commandTextView(), "look");
    EXPECT_EQ(session->commandTextView()->text(), "look");
    item->trigger();
    EXPECT_EQ(delegate->preferencesWindow(), window);
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }));
    const QWidgetList windows = QApplication::topLevelWidgets();
    EXPECT_EQ(std::count_if(windows.cbegin(), windows.cend(),
                            [](QWidget* widget) { return qobject_cast<MUDPreferencesWindowController*>(widget); }),
              1);

    // Closed with Escape, then opened again fresh.
    QTest::keyClick(window->fontSizeBox(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return delegate->preferencesWindow() == nullptr; }));
    session->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == session; }));
    EXPECT_TRUE(openPreferencesByShortcut(session));
}

TEST_F(PreferencesWindow, WithoutStoredKeysShowsTodaysFontAndWritesNothing)
{
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    const QFont expected = defaultSessionFont();
    EXPECT_EQ(session->outputView()->textView()->font(), expected);
    EXPECT_EQ(session->commandTextView()->font(), expected);
    EXPECT_EQ(MUDDocument::localFont(), expected);

    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->fontFamilyBox()->currentFont().family(), expected.family());
    EXPECT_EQ(window->fontSizeBox()->value(), qRound(expected.pointSizeF()));
    EXPECT_FALSE(window->matchEveryLineBox()->isChecked());
    window->close();
    spinEventLoop(20);
    EXPECT_FALSE(QFileInfo::exists(preferencesFile())) << "opening and closing the window stores nothing";
    EXPECT_FALSE(MUDUserSettings::sharedInstance().matchEveryLine());
}

TEST_F(PreferencesWindow, TypedSizeIsStoredAndRedrawsTheOpenSessionAtOnce)
{
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    MUDDisplayLayoutManager& layouts = session->outputView()->textView()->layoutManager();
    const qreal lineHeightBefore = layouts.lineHeight(0);
    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);

    QSpinBox* size = window->fontSizeBox();
    QTest::mouseClick(size, Qt::LeftButton);
    QTest::keyClick(size, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(size, "30");
    EXPECT_EQ(size->value(), 30);

    EXPECT_TRUE(readFile(preferencesFile()).contains("[output]\nfontSize=30\n"))
        << readFile(preferencesFile()).toStdString();
    EXPECT_FALSE(readFile(preferencesFile()).contains("fontFamily")) << "only the size was changed";
    EXPECT_EQ(session->outputView()->textView()->font().pointSizeF(), 30.0);
    EXPECT_EQ(session->commandTextView()->font().pointSizeF(), 30.0);
    for (const QFont& font : drawnFonts(session, 0))
        EXPECT_EQ(font.pointSizeF(), 30.0) << "text received before the change is drawn at the new size";
    EXPECT_GT(layouts.lineHeight(0), lineHeightBefore * 1.5);
    EXPECT_GE(session->commandTextView()->height(), QFontMetrics(session->commandTextView()->font()).height());

    // Text that arrives now comes in the new size too.
    server.send("The goblin leaves north.\r\n");
    ASSERT_TRUE(waitUntil([&] { return outputText(session).contains(u"north"); }));
    const qsizetype last = layouts.displayedLineCount() - 2;
    ASSERT_GE(last, 0);
    for (const QFont& font : drawnFonts(session, last))
        EXPECT_EQ(font.pointSizeF(), 30.0);

    // One step down with the arrow key.
    QTest::keyClick(size, Qt::Key_Down);
    EXPECT_TRUE(readFile(preferencesFile()).contains("fontSize=29\n"));
    EXPECT_EQ(session->outputView()->textView()->font().pointSizeF(), 29.0);
}

TEST_F(PreferencesWindow, TypedFamilyIsStoredAndRedrawsTheOpenSessionAtOnce)
{
    ASSERT_TRUE(MUDFontHelper::isMonospacedFamily(kOtherFamily)) << "the test needs a second monospaced family";
    ASSERT_NE(defaultSessionFont().family(), kOtherFamily);
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);

    LogRecorder log;
    // Opens the list with a click and clicks the family in it.
    QFontComboBox* families = window->fontFamilyBox();
    QTest::mouseClick(families, Qt::LeftButton);
    QAbstractItemView* list = families->view();
    ASSERT_TRUE(waitUntil([&] { return list->isVisible(); }));
    const int row = families->findText(kOtherFamily);
    ASSERT_GE(row, 0);
    const QModelIndex item = list->model()->index(row, 0);
    list->scrollTo(item);
    const QPoint itemCentre = list->visualRect(item).center();
    QTest::mouseMove(list->viewport(), itemCentre);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, itemCentre);
    EXPECT_TRUE(waitUntil([&] { return !list->isVisible(); }));
    EXPECT_EQ(families->currentText(), kOtherFamily);

    EXPECT_TRUE(readFile(preferencesFile()).contains("fontFamily=" + kOtherFamily.toUtf8()))
        << readFile(preferencesFile()).toStdString();
    const QFont shown = session->outputView()->textView()->font();
    EXPECT_EQ(shown.family(), kOtherFamily);
    EXPECT_EQ(shown.pointSizeF(), defaultSessionFont().pointSizeF()) << "the size stays";
    EXPECT_EQ(session->commandTextView()->font().family(), kOtherFamily);
    EXPECT_EQ(QFontInfo(session->commandTextView()->font()).family(), kOtherFamily);
    for (const QFont& font : drawnFonts(session, 1))
        EXPECT_EQ(QFontInfo(font).family(), kOtherFamily) << "text received before the change is drawn in it";

    // Typing on the box jumps to the family that starts so; only whole names are stored.
    const QString defaultFamily = defaultSessionFont().family();
    QTest::keyClicks(families, defaultFamily.left(3));
    EXPECT_EQ(families->currentText(), defaultFamily);
    EXPECT_TRUE(readFile(preferencesFile()).contains("fontFamily=" + defaultFamily.toUtf8()));
    EXPECT_EQ(session->commandTextView()->font().family(), defaultFamily);
    EXPECT_TRUE(log.lines().filter("MUDFontHelper").isEmpty()) << log.lines().join('\n').toStdString();
}

TEST_F(PreferencesWindow, ClickingTheCheckBoxStoresTheTriggerMode)
{
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);
    QCheckBox* box = window->matchEveryLineBox();
    EXPECT_EQ(box->text(), "Match triggers on every line");

    QTest::mouseClick(box, Qt::LeftButton, {}, checkBoxIndicatorCentre(box));
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(readFile(preferencesFile()).contains("[triggers]\nmatchEveryLine=true\n"))
        << readFile(preferencesFile()).toStdString();
    EXPECT_TRUE(MUDUserSettings::sharedInstance().matchEveryLine());

    QTest::mouseClick(box, Qt::LeftButton, {}, checkBoxIndicatorCentre(box));
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(readFile(preferencesFile()).contains("matchEveryLine=false\n"));
    EXPECT_FALSE(MUDUserSettings::sharedInstance().matchEveryLine());
    EXPECT_EQ(session->outputView()->textView()->font(), defaultSessionFont()) << "the font is untouched";
}

TEST_F(PreferencesWindow, ShowsStoredValuesWhenOpened)
{
    writeFile(preferencesFile(),
              "[output]\nfontFamily=" + kOtherFamily.toUtf8() + "\nfontSize=11\n[triggers]\nmatchEveryLine=true\n");
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->outputView()->textView()->font().family(), kOtherFamily);
    EXPECT_EQ(session->outputView()->textView()->font().pointSizeF(), 11.0);
    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->fontFamilyBox()->currentFont().family(), kOtherFamily);
    EXPECT_EQ(window->fontSizeBox()->value(), 11);
    EXPECT_TRUE(window->matchEveryLineBox()->isChecked());
}

struct BadPreferencesRow {
    const char* name;
    QByteArray content;
    const char* loggedWord;
};

class BadStoredPreferences : public PreferencesWindow, public ::testing::WithParamInterface<BadPreferencesRow> { };

TEST_P(BadStoredPreferences, FallBackToTodaysFontWithALogLine)
{
    writeFile(preferencesFile(), GetParam().content);
    LogRecorder log;
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->outputView()->textView()->font(), defaultSessionFont());
    EXPECT_EQ(session->commandTextView()->font(), defaultSessionFont());
    for (const QFont& font : drawnFonts(session, 0))
        EXPECT_EQ(font.pointSizeF(), defaultSessionFont().pointSizeF());
    EXPECT_FALSE(MUDUserSettings::sharedInstance().matchEveryLine());
    EXPECT_FALSE(log.lines().filter(QString::fromLatin1(GetParam().loggedWord)).isEmpty())
        << log.lines().join('\n').toStdString();

    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->fontSizeBox()->value(), qRound(defaultSessionFont().pointSizeF()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadStoredPreferences,
    ::testing::Values(BadPreferencesRow{"UnknownFamily", "[output]\nfontFamily=No Such Font 123\n", "No Such Font 123"},
                      BadPreferencesRow{"ProportionalFamily", "[output]\nfontFamily=DejaVu Sans\n", "DejaVu Sans"},
                      BadPreferencesRow{"SizeZero", "[output]\nfontSize=0\n", "output/fontSize"},
                      BadPreferencesRow{"SizeFiveHundred", "[output]\nfontSize=500\n", "output/fontSize"},
                      BadPreferencesRow{"SizeAWord", "[output]\nfontSize=large\n", "output/fontSize"},
                      BadPreferencesRow{"ModeNotABoolean", "[triggers]\nmatchEveryLine=sometimes\n",
                                        "triggers/matchEveryLine"}),
    [](const ::testing::TestParamInfo<BadPreferencesRow>& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(PreferencesWindow, AccessibilityChoicesAreStoredAndReachTheOpenSession)
{
    using Option = MUDUserSettings::Accessibility;
    MUDSessionWindow* session = openSession();
    ASSERT_TRUE(session);
    MUDDisplayTextView* view = session->outputView()->textView();
    MUDPreferencesWindowController* window = openPreferencesByShortcut(session);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->accessibilityBox(Option::DontBlinkText)->text(), "Don't blink text");
    EXPECT_EQ(window->accessibilityBox(Option::HighContrastColors)->text(), "High-contrast colours");
    EXPECT_EQ(window->accessibilityBox(Option::SpeakIncomingText)->text(), "Speak incoming text");
    EXPECT_EQ(window->accessibilityBox(Option::DontSpeakOwnCommands)->text(), "Don't speak my own commands");
    EXPECT_FALSE(readFile(preferencesFile()).contains("accessibility")) << "opening the window writes nothing";

    QCheckBox* noBlink = window->accessibilityBox(Option::DontBlinkText);
    QTest::mouseClick(noBlink, Qt::LeftButton, {}, checkBoxIndicatorCentre(noBlink));
    EXPECT_TRUE(readFile(preferencesFile()).contains("[accessibility]\ndontBlinkText=true\n"))
        << readFile(preferencesFile()).toStdString();
    // The open session stops blinking at once: tick after tick the text stays shown.
    for (int tick = 0; tick < 3; ++tick) {
        view->updateBlink();
        EXPECT_FALSE(view->blinkState());
    }

    QCheckBox* contrast = window->accessibilityBox(Option::HighContrastColors);
    QTest::mouseClick(contrast, Qt::LeftButton, {}, checkBoxIndicatorCentre(contrast));
    EXPECT_TRUE(MUDUserSettings::sharedInstance().accessibilityOption(Option::HighContrastColors));

    window->speechRateBox()->setFocus();
    window->speechRateBox()->selectAll();
    QTest::keyClicks(window->speechRateBox(), "40");
    QTest::keyClick(window->speechRateBox(), Qt::Key_Enter);
    EXPECT_EQ(MUDUserSettings::sharedInstance().speechRate(), 40);
    EXPECT_TRUE(readFile(preferencesFile()).contains("speechRate=40\n"));

    QTest::mouseClick(noBlink, Qt::LeftButton, {}, checkBoxIndicatorCentre(noBlink));
    view->updateBlink();
    EXPECT_TRUE(view->blinkState()) << "blinking is back once the box is cleared";
}

TEST_F(PreferencesWindow, BadAccessibilityValuesReadAsDefaultsWithALogLine)
{
    writeFile(preferencesFile(), "[accessibility]\nspeakIncomingText=maybe\nhighContrastColors=1\nspeechRate=500\n"
                                 "speechVolume=-30\n");
    LogRecorder log;
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    EXPECT_FALSE(settings.accessibilityOption(MUDUserSettings::Accessibility::SpeakIncomingText));
    EXPECT_TRUE(settings.accessibilityOption(MUDUserSettings::Accessibility::HighContrastColors));
    EXPECT_EQ(settings.speechRate(), 0);
    EXPECT_EQ(settings.speechVolume(), -30);
    EXPECT_EQ(log.lines().filter("accessibility/speakIncomingText").size(), 1) << log.lines().join('\n').toStdString();
    EXPECT_EQ(log.lines().filter("accessibility/speechRate").size(), 1);
    EXPECT_FALSE(settings.setSpeechVolume(101));
    EXPECT_EQ(settings.speechVolume(), -30);
}
