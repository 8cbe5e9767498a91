#include <gtest/gtest.h>

#include <QMainWindow>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>
#include <thread>

#include "TestSupport.h"
#include "app/views/CVDimmingView.h"
#include "app/views/CVWindowController.h"

namespace {

enum class Presentation { Sheet, Centered };

struct Fixture {
    QMainWindow parent;
    QPointer<CVWindowController> controller = new CVWindowController;
    QList<int> codes;

    Fixture()
    {
        parent.resize(600, 400);
        parent.show();
    }
    ~Fixture() { delete controller.data(); }

    void begin(Presentation presentation)
    {
        auto handler = [this](int code) { codes.append(code); };
        if (presentation == Presentation::Sheet)
            controller->beginSheetModalForWindow(&parent, handler);
        else
            controller->beginCenterWindow(&parent, handler);
    }
    int dimmingViews() const { return int(parent.findChildren<CVDimmingView*>().size()); }
};

struct EndRow {
    const char* name;
    Presentation presentation;
    int code;
    const char* logLine;
};

void PrintTo(const EndRow& row, std::ostream* os)
{
    *os << row.name;
}

class CVWindowControllerEnd : public ::testing::TestWithParam<EndRow> { };

TEST_P(CVWindowControllerEnd, ReachesTheHandlerOnceLogsAndUndims)
{
    const EndRow& row = GetParam();
    LogRecorder log;
    Fixture fixture;
    fixture.begin(row.presentation);
    ASSERT_TRUE(fixture.controller->isVisible());
    ASSERT_EQ(fixture.dimmingViews(), 1);
    EXPECT_EQ(fixture.controller->dimmingView()->geometry(), fixture.parent.rect());
    EXPECT_EQ(fixture.controller->parentWidget(), &fixture.parent);

    fixture.controller->endSheetWithReturnCode(row.code);
    fixture.controller->endSheetWithReturnCode(row.code); // a second end reaches nobody

    EXPECT_EQ(fixture.codes, QList<int>{row.code});
    EXPECT_EQ(log.count(QString::fromLatin1(row.logLine)), 1) << log.lines().join('\n').toStdString();
    EXPECT_FALSE(fixture.controller->isVisible());
    EXPECT_EQ(fixture.dimmingViews(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CVWindowControllerEnd,
    ::testing::Values(
        EndRow{"SheetCancel", Presentation::Sheet, 0, "CVWindowController endSheetWithReturnCode: Cancel"},
        EndRow{"SheetOK", Presentation::Sheet, 1, "CVWindowController endSheetWithReturnCode: OK"},
        EndRow{"CenteredOther", Presentation::Centered, 7, "CVWindowController endSheetWithReturnCode: 7"},
        EndRow{"CenteredNegative", Presentation::Centered, -2, "CVWindowController endSheetWithReturnCode: -2"}),
    [](const ::testing::TestParamInfo<EndRow>& paramInfo) { return std::string(paramInfo.param.name); });

TEST(CVWindowController, DimmingFollowsTheParentsSize)
{
    Fixture fixture;
    fixture.begin(Presentation::Centered);
    fixture.parent.resize(800, 500);
    EXPECT_EQ(fixture.controller->dimmingView()->geometry(), fixture.parent.rect());
}

TEST(CVWindowController, CenteredWindowSitsOverTheParentsCentre)
{
    Fixture fixture;
    fixture.controller->resize(200, 100);
    fixture.begin(Presentation::Centered);
    const QPoint delta = fixture.controller->frameGeometry().center() - fixture.parent.frameGeometry().center();
    EXPECT_LE(delta.manhattanLength(), 4);
}

TEST(CVWindowController, SheetIsWindowModal)
{
    Fixture fixture;
    fixture.begin(Presentation::Sheet);
    EXPECT_EQ(fixture.controller->windowModality(), Qt::WindowModal);
}

struct KeyRow {
    const char* name;
    bool withCloseButton;
    QKeyCombination key;
};

void PrintTo(const KeyRow& row, std::ostream* os)
{
    *os << row.name;
}

class CVWindowControllerKeys : public ::testing::TestWithParam<KeyRow> { };

TEST_P(CVWindowControllerKeys, CancelWithZero)
{
    const KeyRow& row = GetParam();
    Fixture fixture;
    if (row.withCloseButton)
        fixture.controller->addCloseButton();
    fixture.begin(Presentation::Sheet);
    QTest::keyClick(fixture.controller->windowHandle(), row.key.key(), row.key.keyboardModifiers());
    EXPECT_TRUE(waitUntil([&] { return !fixture.codes.isEmpty(); }, 2000));
    EXPECT_EQ(fixture.codes, QList<int>{0});
    EXPECT_EQ(fixture.dimmingViews(), 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, CVWindowControllerKeys,
                         ::testing::Values(KeyRow{"Escape", false, QKeyCombination(Qt::Key_Escape)},
                                           KeyRow{"CtrlW", true, QKeyCombination(Qt::CTRL, Qt::Key_W)}),
                         [](const ::testing::TestParamInfo<KeyRow>& paramInfo) {
                             return std::string(paramInfo.param.name);
                         });

TEST(CVWindowController, CloseButtonSitsTopLeftAndCancels)
{
    Fixture fixture;
    fixture.controller->addCloseButton();
    fixture.begin(Presentation::Centered);
    QToolButton* button = fixture.controller->closeButton();
    ASSERT_NE(button, nullptr);
    EXPECT_LT(button->x(), 10);
    EXPECT_LT(button->y(), 10);
    button->click();
    EXPECT_EQ(fixture.codes, QList<int>{0});
}

TEST(CVWindowController, CloseButtonKeepsTheContentClear)
{
    CVWindowController controller;
    auto* layout = new QVBoxLayout(&controller);
    layout->setContentsMargins(8, 8, 8, 8);
    QWidget* content = new QWidget;
    layout->addWidget(content);
    controller.addCloseButton();
    controller.resize(300, 200);
    controller.show();
    EXPECT_GE(content->geometry().top(), controller.closeButton()->geometry().bottom());
    EXPECT_EQ(layout->contentsMargins().left(), 8);
}

TEST(CVWindowController, WarnsWhenRemovedWithinASecondOnly)
{
    const QString warning = QStringLiteral(
        "Warning: Window of type CVWindowController has been visible for less than a second before removed.");
    LogRecorder log;
    {
        Fixture quick;
        quick.begin(Presentation::Sheet);
        quick.controller->endSheetWithReturnCode(1);
    }
    EXPECT_EQ(log.count(warning), 1);
    log.clear();
    {
        Fixture slow;
        slow.begin(Presentation::Sheet);
        spinEventLoop(1050);
        slow.controller->endSheetWithReturnCode(1);
    }
    EXPECT_EQ(log.count(warning), 0);
    EXPECT_EQ(log.count(QStringLiteral("CVWindowController endSheetWithReturnCode: OK")), 1);
}

TEST(CVWindowController, EndingFromABackgroundThreadWarnsWaitsAndEndsOnTheMainThread)
{
    LogRecorder log;
    Fixture fixture;
    std::thread::id handlerThread;
    fixture.controller->beginCenterWindow(&fixture.parent, [&](int code) {
        handlerThread = std::this_thread::get_id();
        fixture.codes.append(code);
    });
    // The closing thread's pause is recorded instead of slept: it is asked
    // for once, on that thread, after the warning and before the window goes.
    std::thread::id pausedThread;
    QList<int> pauses;
    bool warnedBeforePause = false;
    bool endedBeforePause = false;
    fixture.controller->setBackgroundClosePause([&](int ms) {
        pausedThread = std::this_thread::get_id();
        pauses.append(ms);
        warnedBeforePause = log.contains(
            QStringLiteral("Warning: Window of type CVWindowController is being closed from a background thread."));
        endedBeforePause = !fixture.codes.isEmpty();
    });
    std::thread closer([&] { fixture.controller->endSheetWithReturnCode(1); });
    const std::thread::id closerThread = closer.get_id();
    closer.join();
    EXPECT_EQ(pauses, QList<int>{CVWindowController::BackgroundCloseDelayMs});
    EXPECT_EQ(CVWindowController::BackgroundCloseDelayMs, 250);
    EXPECT_EQ(pausedThread, closerThread);
    EXPECT_TRUE(warnedBeforePause);
    EXPECT_FALSE(endedBeforePause);
    ASSERT_TRUE(waitUntil([&] { return !fixture.codes.isEmpty(); }, 2000));
    EXPECT_EQ(fixture.codes, QList<int>{1});
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    EXPECT_EQ(fixture.dimmingViews(), 0);
}

TEST(CVWindowController, HandlerMayDeleteTheController)
{
    Fixture fixture;
    fixture.controller->beginSheetModalForWindow(&fixture.parent, [&](int code) {
        fixture.codes.append(code);
        delete fixture.controller.data();
    });
    fixture.controller->endSheetWithReturnCode(0);
    EXPECT_EQ(fixture.codes, QList<int>{0});
    EXPECT_TRUE(fixture.controller.isNull());
}

}
