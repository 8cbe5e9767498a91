#pragma once

#include <QPointer>
#include <memory>

#include "app/scripting/CVDatabaseTreeEntry.h"
#include "app/scripting/MUDRegexTesterWindowController.h"
#include "app/views/CVWindowController.h"

class MUDAliasEditorViewController;
class MUDConnection;
class MUDNoteEditorViewController;
class MUDScriptingLeftPanelViewController;
class MUDScriptingOutlineViewController;
class MUDTriggerEditorViewController;
class QAction;
class QMenu;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QToolButton;

// The script manager of one session: the three script trees on the left,
// the editor of the selected kind on the right, the add/remove control and
// OK / Cancel. OK writes every edit to disk (sessions of the connection
// reload); Cancel drops them. Either clears the live match test. The
// divider position is kept in the setting "triggerSplitPosition". Main thread.
class MUDScriptingWindowController : public CVWindowController {
    Q_OBJECT
public:
    static constexpr int MinimumSplitPosition = 150;

    MUDScriptingWindowController(std::shared_ptr<MUDConnection> connection, int scriptType, QWidget* parent = nullptr);
    ~MUDScriptingWindowController() override;

    // Opens the script manager of the session `document` (one per session,
    // forgotten when the session goes) on `scriptType` (0 notes, 1 aliases,
    // 2 triggers): the visible one is reused, otherwise a new one reads the
    // trees of `connection` fresh from disk, centred over `sessionWindow`.
    static MUDScriptingWindowController* showForDocument(QObject& document, std::shared_ptr<MUDConnection> connection,
                                                         int scriptType, QWidget* sessionWindow = nullptr);

    std::shared_ptr<MUDConnection> connection() const { return m_connection; }
    int scriptType() const { return m_scriptType; }
    void setScriptType(int scriptType);
    void updateTitle();

    void onAccept();
    void onCancel();
    void onAddNewFolder();
    void onAddNewEntry();
    void onRemoveSegment();
    // Pops the add menu up over the add/remove control.
    void onAddSegment();
    // Opens the regex tester with the trigger editor's pattern.
    void openRegexTester(const QString& pattern);

    int splitPosition() const;
    MUDScriptingLeftPanelViewController* leftPanel() const { return m_leftPanel; }
    MUDNoteEditorViewController* noteEditor() const { return m_noteEditor; }
    MUDAliasEditorViewController* aliasEditor() const { return m_aliasEditor; }
    MUDTriggerEditorViewController* triggerEditor() const { return m_triggerEditor; }
    QStackedWidget* editorTabs() const { return m_editorTabs; }
    QToolButton* addButton() const { return m_addButton; }
    QToolButton* removeButton() const { return m_removeButton; }
    QMenu* addMenu() const { return m_addMenu; }
    QAction* addEntryItem() const { return m_addEntryItem; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    MUDRegexTesterWindowController* regexTester() const { return m_regexTester; }

    // Escape and the window's close box drop the edits like Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void MUDTriggerOutlineViewSelectionChanged(MUDScriptingOutlineViewController* controller,
                                               CVDatabaseTreeEntry* entry);
    void restoreSplitPosition();
    void storeSplitPosition() const;
    void clearMatchTest() const;
    // Tells the player what the commit could not do.
    void showCommitProblems(const QStringList& problems) const;

    std::shared_ptr<MUDConnection> m_connection;
    int m_scriptType;
    QSplitter* m_splitter;
    MUDScriptingLeftPanelViewController* m_leftPanel;
    QStackedWidget* m_editorTabs;
    MUDNoteEditorViewController* m_noteEditor;
    MUDAliasEditorViewController* m_aliasEditor;
    MUDTriggerEditorViewController* m_triggerEditor;
    QToolButton* m_addButton;
    QToolButton* m_removeButton;
    QMenu* m_addMenu;
    QAction* m_addEntryItem;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    QPointer<MUDRegexTesterWindowController> m_regexTester;
    bool m_finished = false;
};
