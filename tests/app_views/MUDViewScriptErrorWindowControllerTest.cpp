#include <gtest/gtest.h>

#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>

#include "TestSupport.h"
#include "app/scripting/MUDViewScriptErrorWindowController.h"
#include "app/session/MUDScriptBridge.h"
#include "app/views/CVDimmingView.h"
#include "app/views/CVHighlightableTextView.h"
#include "app/views/MUDFontHelper.h"

namespace {

MUDJavascriptError substitutedError()
{
    MUDJavascriptError error;
    error.scriptName = QStringLiteral("greet");
    error.errorMessage = QStringLiteral("ReferenceError: Can't find variable: foo");
    error.rawScript = QStringLiteral("app.send('\\1'); foo();");
    error.processedScript = QStringLiteral("app.send('Bob'); foo();");
    error.parameters = MUDScriptParameters{{QStringLiteral("b"), QStringLiteral("2")},
                                           {QStringLiteral("\\1"), QStringLiteral("Bob")},
                                           {QStringLiteral("A"), QStringLiteral("1")},
                                           {QStringLiteral("c"), QStringLiteral("3")}};
    return error;
}

struct Session {
    QWidget window;
    QPointer<MUDViewScriptErrorWindowController> current;

    Session()
    {
        window.resize(700, 500);
        window.show();
    }
    ~Session() { delete current.data(); }
};

TEST(MUDViewScriptErrorWindow, FillsFromTheDetailsLinkValue)
{
    LogRecorder log;
    Session session;
    ASSERT_TRUE(MUDViewScriptErrorWindowController::openForLink(QVariant::fromValue(substitutedError()),
                                                                &session.window, session.current));
    MUDViewScriptErrorWindowController* window = session.current;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), &session.window);
    EXPECT_LE((window->frameGeometry().center() - session.window.frameGeometry().center()).manhattanLength(), 4);
    // Reading an error leaves the session usable: nothing dims it.
    EXPECT_TRUE(session.window.findChildren<CVDimmingView*>().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("Error: {\"A\":\"1\",\"\\\\1\":\"Bob\",\"b\":\"2\",\"c\":\"3\"}")))
        << log.lines().join('\n').toStdString();

    ASSERT_NE(window->rawScriptTextView(), nullptr);
    EXPECT_EQ(window->rawScriptTextView()->toPlainText(), substitutedError().rawScript);
    EXPECT_EQ(window->processedScriptTextView()->toPlainText(), substitutedError().processedScript);
    for (CVHighlightableTextView* view : {window->rawScriptTextView(), window->processedScriptTextView()}) {
        EXPECT_TRUE(view->isReadOnly());
        EXPECT_NE(view->syntaxHighlighter(), nullptr);
        EXPECT_EQ(view->font().pointSizeF(), MUDFontHelper::systemFontSize());
    }
    EXPECT_EQ(window->splitView()->count(), 2);
    EXPECT_EQ(window->tabView()->count(), 2);

    // Names sorted without regard to case; column 1 holds the value.
    EXPECT_EQ(window->sortedParameterNames(),
              (QStringList{QStringLiteral("\\1"), QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c")}));
    QTableWidget* table = window->parametersTableView();
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("\\1"));
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("Bob"));
    EXPECT_EQ(table->item(1, 0)->text(), QStringLiteral("A"));
    EXPECT_EQ(table->item(2, 1)->text(), QStringLiteral("2"));
}

TEST(MUDViewScriptErrorWindow, EqualScriptsShowOnePaneLabelledScript)
{
    MUDJavascriptError error = substitutedError();
    error.processedScript = error.rawScript;
    error.parameters.reset();
    LogRecorder log;
    MUDViewScriptErrorWindowController window(error);
    EXPECT_TRUE(log.contains(QStringLiteral("Error: (null)")));
    EXPECT_EQ(window.rawScriptTextView(), nullptr);
    EXPECT_EQ(window.parametersTableView(), nullptr);
    EXPECT_EQ(window.splitView()->count(), 1);
    ASSERT_EQ(window.tabView()->count(), 1);
    EXPECT_EQ(window.tabView()->tabText(0), QStringLiteral("Script"));
    EXPECT_EQ(window.processedScriptTextView()->toPlainText(), error.rawScript);
}

TEST(MUDViewScriptErrorWindow, MissingProcessedScriptShowsEmptyAndKeepsBothPanes)
{
    MUDJavascriptError error = substitutedError();
    error.processedScript.clear();
    MUDViewScriptErrorWindowController window(error);
    EXPECT_EQ(window.splitView()->count(), 2);
    EXPECT_EQ(window.processedScriptTextView()->toPlainText(), QString());
}

TEST(MUDViewScriptErrorWindow, ASecondErrorLinkReplacesTheOpenWindow)
{
    Session session;
    ASSERT_TRUE(MUDViewScriptErrorWindowController::openForLink(QVariant::fromValue(substitutedError()),
                                                                &session.window, session.current));
    QPointer<MUDViewScriptErrorWindowController> first = session.current;
    MUDJavascriptError second = substitutedError();
    second.scriptName = QStringLiteral("second");
    ASSERT_TRUE(
        MUDViewScriptErrorWindowController::openForLink(QVariant::fromValue(second), &session.window, session.current));
    EXPECT_NE(session.current.data(), first.data());
    EXPECT_EQ(session.current->errorDetails().scriptName, QStringLiteral("second"));
    EXPECT_TRUE(waitUntil([&] { return first.isNull(); }, 2000));
    EXPECT_TRUE(session.current->isVisible());
}

TEST(MUDViewScriptErrorWindow, OtherLinksAreNotHandled)
{
    Session session;
    for (const QVariant& link : {QVariant(QStringLiteral("https://example.org")), QVariant(), QVariant(42)}) {
        EXPECT_FALSE(MUDViewScriptErrorWindowController::openForLink(link, &session.window, session.current));
        EXPECT_TRUE(session.current.isNull());
    }
}

TEST(MUDViewScriptErrorWindow, ClosingEndsWithCancel)
{
    LogRecorder log;
    Session session;
    ASSERT_TRUE(MUDViewScriptErrorWindowController::openForLink(QVariant::fromValue(substitutedError()),
                                                                &session.window, session.current));
    session.current->close();
    EXPECT_TRUE(log.contains(QStringLiteral("MUDViewScriptErrorWindowController endSheetWithReturnCode: Cancel")));
    EXPECT_TRUE(waitUntil([&] { return session.current.isNull(); }, 2000));
}

}
