#include "app/scripting/MUDScriptingWindowController.h"

#include <QHBoxLayout>
#include <QHash>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/CVTriggerTreeEntry.h"
#include "app/scripting/MUDAliasEditorViewController.h"
#include "app/scripting/MUDAliasTreeEntry.h"
#include "app/scripting/MUDNoteEditorViewController.h"
#include "app/scripting/MUDNoteTreeEntry.h"
#include "app/scripting/MUDRegexTesterWindowController.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptingLeftPanelViewController.h"
#include "app/scripting/MUDScriptingOutlineViewController.h"
#include "app/scripting/MUDTriggerEditorViewController.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/connection/MUDConnection.h"

namespace {

const QString kSplitPositionKey = QStringLiteral("triggerSplitPosition");

// One script manager per session.
QHash<const QObject*, QPointer<MUDScriptingWindowController>>& windowsByDocument()
{
    static QHash<const QObject*, QPointer<MUDScriptingWindowController>> windows;
    return windows;
}

}

MUDScriptingWindowController::MUDScriptingWindowController(std::shared_ptr<MUDConnection> connection, int scriptType,
                                                           QWidget* parent)
    : CVWindowController(parent)
    , m_connection(std::move(connection))
    , m_scriptType(scriptType)
    , m_splitter(new QSplitter(Qt::Horizontal, this))
    , m_leftPanel(new MUDScriptingLeftPanelViewController(m_connection, m_splitter))
    , m_editorTabs(new QStackedWidget(m_splitter))
    , m_noteEditor(new MUDNoteEditorViewController(m_editorTabs))
    , m_aliasEditor(new MUDAliasEditorViewController(m_editorTabs))
    , m_triggerEditor(new MUDTriggerEditorViewController(m_editorTabs))
    , m_addButton(new QToolButton(this))
    , m_removeButton(new QToolButton(this))
    , m_addMenu(new QMenu(this))
    , m_addEntryItem(m_addMenu->addAction(QStringLiteral("Add trigger")))
    , m_okButton(new QPushButton(QStringLiteral("OK"), this))
    , m_cancelButton(new QPushButton(QStringLiteral("Cancel"), this))
{
    setMinimumSize(640, 420);
    resize(900, 560);
    m_leftPanel->setMinimumWidth(MinimumSplitPosition);
    m_editorTabs->setMinimumWidth(MinimumSplitPosition);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_leftPanel);
    m_splitter->addWidget(m_editorTabs);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({151, width() - 151});
    m_editorTabs->addWidget(m_noteEditor);
    m_editorTabs->addWidget(m_aliasEditor);
    m_editorTabs->addWidget(m_triggerEditor);

    m_addButton->setText(QStringLiteral("+"));
    m_addButton->setToolTip(QStringLiteral("Add"));
    m_removeButton->setText(QStringLiteral("\u2212"));
    m_removeButton->setToolTip(QStringLiteral("Remove"));
    m_removeButton->setEnabled(false);
    connect(m_addMenu->addAction(QStringLiteral("Add folder...")), &QAction::triggered, this,
            &MUDScriptingWindowController::onAddNewFolder);
    connect(m_addEntryItem, &QAction::triggered, this, &MUDScriptingWindowController::onAddNewEntry);
    m_okButton->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(0);
    bottom->addWidget(m_addButton);
    bottom->addWidget(m_removeButton);
    bottom->addStretch();
    bottom->addWidget(m_cancelButton);
    bottom->addSpacing(8);
    bottom->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(bottom);

    connect(m_addButton, &QToolButton::clicked, this, &MUDScriptingWindowController::onAddSegment);
    connect(m_removeButton, &QToolButton::clicked, this, &MUDScriptingWindowController::onRemoveSegment);
    connect(m_okButton, &QPushButton::clicked, this, &MUDScriptingWindowController::onAccept);
    connect(m_cancelButton, &QPushButton::clicked, this, &MUDScriptingWindowController::onCancel);
    connect(m_leftPanel, &MUDScriptingLeftPanelViewController::selectionChanged, this,
            &MUDScriptingWindowController::MUDTriggerOutlineViewSelectionChanged);
    connect(m_leftPanel, &MUDScriptingLeftPanelViewController::panelChanged, this, [this] {
        setScriptType(m_leftPanel->selectedTabPanel());
        // The remove segment follows the selection of the tree now shown.
        const auto* tree = m_leftPanel->selectedTreeController();
        const CVDatabaseTreeEntry* entry = tree ? tree->selectedEntry() : nullptr;
        m_removeButton->setEnabled(entry && entry->canBeRemoved());
    });
    const auto redisplay = [this] { m_leftPanel->reloadDisplayForSelectedEntry(); };
    connect(m_noteEditor, &MUDNoteEditorViewController::modifiedEntryNeedsDisplay, this, redisplay);
    connect(m_aliasEditor, &MUDAliasEditorViewController::modifiedEntryNeedsDisplay, this, redisplay);
    connect(m_triggerEditor, &MUDTriggerEditorViewController::modifiedEntryNeedsDisplay, this, redisplay);
    connect(m_triggerEditor, &MUDTriggerEditorViewController::regexTesterRequested, this,
            &MUDScriptingWindowController::openRegexTester);

    setScriptType(scriptType);
    restoreSplitPosition();
}

MUDScriptingWindowController::~MUDScriptingWindowController() = default;

MUDScriptingWindowController* MUDScriptingWindowController::showForDocument(QObject& document,
                                                                            std::shared_ptr<MUDConnection> connection,
                                                                            int scriptType, QWidget* sessionWindow)
{
    auto& windows = windowsByDocument();
    QPointer<MUDScriptingWindowController> window = windows.value(&document);
    if (!window || !window->isVisible()) {
        if (window)
            window->deleteLater();
        window = new MUDScriptingWindowController(std::move(connection), scriptType, sessionWindow);
        window->setAttribute(Qt::WA_DeleteOnClose);
        windows.insert(&document, window);
        QObject::connect(&document, &QObject::destroyed, window, [&windows, key = &document] { windows.remove(key); });
        if (sessionWindow) {
            window->beginCenterWindow(sessionWindow, nullptr);
        } else {
            window->show();
        }
    }
    window->setScriptType(scriptType);
    window->raise();
    window->activateWindow();
    return window;
}

void MUDScriptingWindowController::setScriptType(int scriptType)
{
    if (MUDScriptKind::isValid(scriptType)) {
        m_scriptType = scriptType;
        if (scriptType == MUDScriptKind::Notes)
            m_leftPanel->selectNotes();
        else if (scriptType == MUDScriptKind::Aliases)
            m_leftPanel->selectAliases();
        else
            m_leftPanel->selectTriggers();
        m_editorTabs->setCurrentIndex(scriptType);
    }
    updateTitle();
}

void MUDScriptingWindowController::updateTitle()
{
    static const char* const suffixes[] = {"%1 - Notes", "%1 - Aliases", "%1 - Triggers"};
    const int tab = m_leftPanel->selectedTabPanel();
    if (!MUDScriptKind::isValid(tab))
        return;
    setWindowTitle(QString::fromLatin1(suffixes[tab]).arg(m_connection ? m_connection->title() : QString()));
}

void MUDScriptingWindowController::MUDTriggerOutlineViewSelectionChanged(MUDScriptingOutlineViewController*,
                                                                         CVDatabaseTreeEntry* entry)
{
    m_removeButton->setEnabled(entry && entry->canBeRemoved());
    if (auto note = dynamic_cast<MUDNoteTreeEntry*>(entry)) {
        m_noteEditor->setNote(note->note());
    } else if (auto trigger = dynamic_cast<CVTriggerTreeEntry*>(entry)) {
        m_triggerEditor->setTrigger(trigger->trigger());
    } else if (auto alias = dynamic_cast<MUDAliasTreeEntry*>(entry)) {
        m_aliasEditor->setAlias(alias->alias());
    } else {
        switch (m_leftPanel->selectedTabPanel()) {
        case MUDScriptKind::Notes: m_noteEditor->setNote(nullptr); break;
        case MUDScriptKind::Aliases: m_aliasEditor->setAlias(nullptr); break;
        case MUDScriptKind::Triggers: m_triggerEditor->setTrigger(nullptr); break;
        default: break;
        }
    }
}

void MUDScriptingWindowController::onAddSegment()
{
    static const char* const titles[] = {"Add note", "Add alias", "Add trigger"};
    const int tab = m_leftPanel->selectedTabPanel();
    if (MUDScriptKind::isValid(tab))
        m_addEntryItem->setText(QString::fromLatin1(titles[tab]));
    // The menu's first item appears at the boundary between the two segments.
    const QPoint boundary(m_removeButton->x(), m_addButton->y());
    m_addMenu->popup(mapToGlobal(boundary), m_addEntryItem);
}

void MUDScriptingWindowController::onRemoveSegment()
{
    m_leftPanel->removeSelectedEntry();
}

void MUDScriptingWindowController::onAddNewFolder()
{
    m_leftPanel->addNewFolder();
}

void MUDScriptingWindowController::onAddNewEntry()
{
    m_leftPanel->addNewEntry();
}

void MUDScriptingWindowController::openRegexTester(const QString& pattern)
{
    if (!m_regexTester) {
        m_regexTester = new MUDRegexTesterWindowController(this);
        m_regexTester->setAttribute(Qt::WA_DeleteOnClose);
        m_regexTester->setRegex(pattern, QString());
        m_regexTester->beginCenterWindow(this, nullptr);
    }
    m_regexTester->raise();
    m_regexTester->activateWindow();
}

void MUDScriptingWindowController::clearMatchTest() const
{
    MUDNotificationCenter::defaultCenter().postNotification(MUDMatchTest::mudMatchHasTestNotificationName());
}

void MUDScriptingWindowController::onAccept()
{
    if (m_finished)
        return;
    m_finished = true;
    clearMatchTest();
    const QStringList problems = m_leftPanel->saveChanges();
    storeSplitPosition();
    endSheetWithReturnCode(1);
    if (!problems.isEmpty())
        showCommitProblems(problems);
}

void MUDScriptingWindowController::showCommitProblems(const QStringList& problems) const
{
    // This window is closing: the alert goes over the session window.
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Some changes could not be saved"),
                                  QStringLiteral("Some changes could not be saved"), QMessageBox::Ok, parentWidget());
    alert->setInformativeText(problems.join(QLatin1Char('\n')));
    alert->setWindowModality(parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

void MUDScriptingWindowController::onCancel()
{
    if (m_finished)
        return;
    m_finished = true;
    clearMatchTest();
    storeSplitPosition();
    endSheetWithReturnCode(0);
}

void MUDScriptingWindowController::reject()
{
    if (!m_finished)
        onCancel();
}

int MUDScriptingWindowController::splitPosition() const
{
    return m_splitter->sizes().value(0);
}

void MUDScriptingWindowController::showEvent(QShowEvent* event)
{
    CVWindowController::showEvent(event);
    restoreSplitPosition();
    // Once more after the layout has settled.
    QTimer::singleShot(0, this, &MUDScriptingWindowController::restoreSplitPosition);
}

void MUDScriptingWindowController::restoreSplitPosition()
{
    const int stored = QSettings().value(kSplitPositionKey).toInt();
    const int total = m_splitter->width() - m_splitter->handleWidth();
    int position = std::max(stored, MinimumSplitPosition);
    if (total > 2 * MinimumSplitPosition)
        position = std::min(position, total - MinimumSplitPosition);
    m_splitter->setSizes({position, std::max(total - position, MinimumSplitPosition)});
}

void MUDScriptingWindowController::storeSplitPosition() const
{
    QSettings().setValue(kSplitPositionKey, splitPosition());
}
