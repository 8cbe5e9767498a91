#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/scripting/MUDAliasEditorViewController.h"
#include "app/scripting/MUDNoteEditorViewController.h"
#include "app/scripting/MUDRegexField.h"
#include "app/scripting/MUDTriggerEditorViewController.h"
#include "app/views/CVHighlightableTextView.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDNote.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTrigger.h"

namespace {

// Records the match tests posted while it lives.
class MatchTestRecorder {
public:
    MatchTestRecorder()
    {
        m_connection =
            QObject::connect(&MUDNotificationCenter::defaultCenter(), &MUDNotificationCenter::notificationPosted,
                             [this](const QString& name, const QVariant& object) {
                                 if (name == MUDMatchTest::mudMatchHasTestNotificationName())
                                     posts.append(object);
                             });
    }
    ~MatchTestRecorder() { QObject::disconnect(m_connection); }
    MUDMatchTest last() const { return posts.isEmpty() ? MUDMatchTest() : posts.last().value<MUDMatchTest>(); }

    QList<QVariant> posts;

private:
    QMetaObject::Connection m_connection;
};

std::shared_ptr<MUDTrigger> storedTrigger()
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(QStringLiteral("stored"));
    trigger->setMatchString(QStringLiteral("stored pattern"));
    trigger->setAction(QStringLiteral("stored()"));
    // The working copy holds edits not yet saved: the editor shows those.
    auto copy = trigger->copy();
    copy->setTitle(QStringLiteral("edited"));
    copy->setDisabled(true);
    copy->setIsDebug(true);
    copy->setMatchFromStartOfLine(true);
    copy->setCaseSpecific(true);
    copy->setMatchType(MUDTrigger::kMatchRegularExpression);
    copy->setMatchString(QStringLiteral("^(\\w+) arrives"));
    copy->setAction(QStringLiteral("app.send('bow')"));
    trigger->setModifiedInstance(copy);
    return trigger;
}

TEST(TriggerEditor, ShowingATriggerFillsTheControlsFromItsWorkingCopyAndPostsItsTest)
{
    MUDTriggerEditorViewController editor;
    MatchTestRecorder tests;
    editor.setTrigger(storedTrigger());

    EXPECT_EQ(editor.nameField()->text(), QStringLiteral("edited"));
    EXPECT_FALSE(editor.enabledCheckbox()->isChecked());
    EXPECT_TRUE(editor.debugCheckbox()->isChecked());
    EXPECT_TRUE(editor.matchFromStartCheckbox()->isChecked());
    EXPECT_TRUE(editor.caseSpecificCheckbox()->isChecked());
    EXPECT_EQ(editor.patternPopup()->currentIndex(), 1);
    EXPECT_EQ(editor.matchField()->text(), QStringLiteral("^(\\w+) arrives"));
    EXPECT_EQ(editor.actionView()->toPlainText(), QStringLiteral("app.send('bow')"));
    for (QWidget* control :
         {static_cast<QWidget*>(editor.nameField()), static_cast<QWidget*>(editor.matchField()),
          static_cast<QWidget*>(editor.patternPopup()), static_cast<QWidget*>(editor.enabledCheckbox())})
        EXPECT_TRUE(control->isEnabled());
    EXPECT_FALSE(editor.actionView()->isReadOnly());
    // A regular expression is coloured at once.
    EXPECT_FALSE(editor.matchField()->coloredSpans().isEmpty());
    ASSERT_EQ(tests.posts.size(), 1);
    EXPECT_EQ(tests.last(), (MUDMatchTest{1, QStringLiteral("^(\\w+) arrives"), true, true}));
}

TEST(TriggerEditor, ATriggerWithoutCopyGetsOneAtOnceAndNoTriggerEmptiesDisablesAndClearsTheTest)
{
    MUDTriggerEditorViewController editor;
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(QStringLiteral("bare"));
    editor.setTrigger(trigger);
    ASSERT_NE(trigger->modifiedInstance(), nullptr);
    EXPECT_FALSE(trigger->isModified());
    EXPECT_TRUE(editor.enabledCheckbox()->isChecked());

    MatchTestRecorder tests;
    editor.setTrigger(nullptr);
    EXPECT_TRUE(editor.nameField()->text().isEmpty());
    EXPECT_FALSE(editor.enabledCheckbox()->isChecked());
    EXPECT_FALSE(editor.nameField()->isEnabled());
    EXPECT_FALSE(editor.matchField()->isEnabled());
    EXPECT_TRUE(editor.actionView()->isReadOnly());
    EXPECT_EQ(editor.triggerForModification(), nullptr);
    ASSERT_EQ(tests.posts.size(), 1);
    EXPECT_FALSE(tests.posts.first().isValid());
}

TEST(TriggerEditor, TheLoginPseudoTriggerLeavesOnlyTheActionEditable)
{
    MUDTriggerEditorViewController editor;
    auto login = std::make_shared<MUDTrigger>();
    login->setTitle(QStringLiteral(".login"));
    login->setIsLoginTrigger(true);
    login->setAction(QStringLiteral("say hi"));
    editor.setTrigger(login);
    for (QWidget* control :
         {static_cast<QWidget*>(editor.nameField()), static_cast<QWidget*>(editor.enabledCheckbox()),
          static_cast<QWidget*>(editor.debugCheckbox()), static_cast<QWidget*>(editor.matchFromStartCheckbox()),
          static_cast<QWidget*>(editor.caseSpecificCheckbox()), static_cast<QWidget*>(editor.patternPopup()),
          static_cast<QWidget*>(editor.matchField())})
        EXPECT_FALSE(control->isEnabled());
    EXPECT_TRUE(editor.actionView()->isEnabled());
    EXPECT_FALSE(editor.actionView()->isReadOnly());
    editor.actionView()->setPlainText(QStringLiteral("say bye"));
    EXPECT_EQ(login->modifiedInstance()->action(), QStringLiteral("say bye"));
    EXPECT_EQ(login->action(), QStringLiteral("say hi"));
}

TEST(TriggerEditor, EditsGoToTheWorkingCopyWithRedisplayAndMatchTests)
{
    MUDTriggerEditorViewController editor;
    editor.show();
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(QStringLiteral("t"));
    editor.setTrigger(trigger);
    QSignalSpy redisplay(&editor, &MUDTriggerEditorViewController::modifiedEntryNeedsDisplay);
    MatchTestRecorder tests;
    LogRecorder log;

    QTest::keyClicks(editor.matchField(), QStringLiteral("orc"));
    EXPECT_EQ(trigger->modifiedInstance()->matchString(), QStringLiteral("orc"));
    EXPECT_EQ(tests.last().matchString, QStringLiteral("orc"));
    EXPECT_TRUE(trigger->isModified());
    EXPECT_EQ(trigger->matchString(), QString());

    editor.caseSpecificCheckbox()->click();
    EXPECT_TRUE(trigger->modifiedInstance()->caseSpecific());
    EXPECT_TRUE(tests.last().caseSpecific);
    editor.matchFromStartCheckbox()->click();
    EXPECT_TRUE(tests.last().matchFromStartOfLine);

    const qsizetype postsBefore = tests.posts.size();
    editor.enabledCheckbox()->click();
    EXPECT_TRUE(trigger->modifiedInstance()->disabled());
    EXPECT_TRUE(log.contains(QStringLiteral("Setting trigger t to disabled")));
    editor.debugCheckbox()->click();
    EXPECT_TRUE(trigger->modifiedInstance()->isDebug());
    EXPECT_EQ(tests.posts.size(), postsBefore);

    QTest::keyClicks(editor.nameField(), QStringLiteral("2"));
    EXPECT_EQ(trigger->modifiedInstance()->title(), QStringLiteral("t2"));
    EXPECT_GE(redisplay.count(), 6);
}

TEST(TriggerEditor, ThePatternPopUpSwitchesTheTypeAndItsColouring)
{
    MUDTriggerEditorViewController editor;
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setMatchString(QStringLiteral("(a|b)+"));
    editor.setTrigger(trigger);
    EXPECT_TRUE(editor.matchField()->coloredSpans().isEmpty());
    MatchTestRecorder tests;

    editor.patternPopup()->setCurrentIndex(1);
    emit editor.patternPopup()->activated(1);
    EXPECT_EQ(trigger->modifiedInstance()->matchType(), 1);
    EXPECT_FALSE(editor.matchField()->coloredSpans().isEmpty());
    EXPECT_EQ(tests.last().matchType, 1);

    editor.patternPopup()->setCurrentIndex(0);
    emit editor.patternPopup()->activated(0);
    EXPECT_EQ(trigger->modifiedInstance()->matchType(), 0);
    EXPECT_TRUE(editor.matchField()->coloredSpans().isEmpty());
}

TEST(TriggerEditor, TheRegexTesterButtonAsksForTheTesterWithThePattern)
{
    MUDTriggerEditorViewController editor;
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setMatchString(QStringLiteral("(\\d+) gold"));
    editor.setTrigger(trigger);
    QSignalSpy requested(&editor, &MUDTriggerEditorViewController::regexTesterRequested);
    editor.regexTesterButton()->click();
    ASSERT_EQ(requested.count(), 1);
    EXPECT_EQ(requested.first().first().toString(), QStringLiteral("(\\d+) gold"));
}

TEST(AliasEditor, ShowsTheCopyWithTheInvertedPopUpAndWritesEveryControl)
{
    MUDAliasEditorViewController editor;
    auto alias = std::make_shared<MUDAlias>();
    alias->setTitle(QStringLiteral("k"));
    alias->setMatchString(QStringLiteral("kill"));
    alias->setCaseSpecific(true);
    MatchTestRecorder tests;
    editor.setAlias(alias);
    EXPECT_EQ(editor.nameField()->text(), QStringLiteral("k"));
    EXPECT_EQ(editor.patternPopup()->currentIndex(), 1); // match type 0
    EXPECT_TRUE(editor.caseSpecificCheckbox()->isChecked());
    EXPECT_TRUE(editor.caseSpecificCheckbox()->isEnabled());
    EXPECT_EQ(alias->modifiedInstance(), nullptr);

    editor.caseSpecificCheckbox()->click();
    ASSERT_NE(alias->modifiedInstance(), nullptr);
    EXPECT_FALSE(alias->modifiedInstance()->caseSpecific());
    emit editor.patternPopup()->activated(0);
    EXPECT_EQ(alias->modifiedInstance()->matchType(), 1);
    emit editor.patternPopup()->activated(1);
    EXPECT_EQ(alias->modifiedInstance()->matchType(), 0);
    editor.actionView()->setPlainText(QStringLiteral("app.send('kill ' + $1)"));
    EXPECT_EQ(alias->modifiedInstance()->action(), QStringLiteral("app.send('kill ' + $1)"));
    LogRecorder log;
    editor.enabledCheckbox()->click();
    EXPECT_TRUE(log.contains(QStringLiteral("Setting trigger k to disabled")));
    EXPECT_TRUE(tests.posts.isEmpty());
    EXPECT_EQ(alias->matchType(), 0);
    EXPECT_TRUE(alias->caseSpecific());
}

TEST(NoteEditor, ShowsTheCopyAndCopiesBothControlsOnEveryChange)
{
    MUDNoteEditorViewController editor;
    auto note = std::make_shared<MUDNote>();
    note->setTitle(QStringLiteral("map"));
    note->setContents(QStringLiteral("north"));
    editor.setNote(note);
    EXPECT_EQ(editor.titleField()->text(), QStringLiteral("map"));
    EXPECT_EQ(editor.textView()->toPlainText(), QStringLiteral("north"));
    EXPECT_TRUE(editor.titleField()->isEnabled());
    QSignalSpy redisplay(&editor, &MUDNoteEditorViewController::modifiedEntryNeedsDisplay);
    editor.textView()->setPlainText(QStringLiteral("south"));
    ASSERT_NE(note->modifiedInstance(), nullptr);
    EXPECT_EQ(note->modifiedInstance()->contents(), QStringLiteral("south"));
    EXPECT_EQ(note->modifiedInstance()->title(), QStringLiteral("map"));
    EXPECT_EQ(redisplay.count(), 1);

    editor.setNote(nullptr);
    EXPECT_FALSE(editor.titleField()->isEnabled());
    EXPECT_TRUE(editor.textView()->isReadOnly());
    EXPECT_TRUE(editor.textView()->toPlainText().isEmpty());
}

}
