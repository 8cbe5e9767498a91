#include "app/shell/MUDMainMenu.h"

#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "app/connections/MUDProductSettings.h"
#include "app/scripting/MUDScriptingWindowController.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDSessionChildWindows.h"
#include "app/session/MUDSessionWindow.h"
#include "app/session/MUDSpeaker.h"
#include "app/shell/MUDUnsavedSession.h"

MUDMainMenu::MUDMainMenu(QObject* parent)
    : QObject(parent)
    , m_applicationMenu(new QMenu(MUDProductSettings::productName()))
    , m_connectMenu(new QMenu(tr("Connect")))
{
    m_connectionsAction = m_connectMenu->addAction(tr("Connections..."));
    m_connectionsAction->setShortcut(QKeySequence(tr("Ctrl+Shift+N")));
    m_applicationMenu->addMenu(m_connectMenu);
    m_openAction = m_applicationMenu->addAction(tr("Open..."));
    m_openAction->setShortcut(QKeySequence::Open);
    m_applicationMenu->addSeparator();
    m_preferencesAction = m_applicationMenu->addAction(tr("Preferences…"));
    m_preferencesAction->setShortcut(QKeySequence(tr("Ctrl+,")));
    m_preferencesAction->setMenuRole(QAction::PreferencesRole);
    m_openDataFolderAction = m_applicationMenu->addAction(tr("Open Data Folder"));
    // Speech runs without a focused window; this key silences it from any of ours.
    m_stopSpeakingAction = m_applicationMenu->addAction(tr("Stop Speaking"));
    m_stopSpeakingAction->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));
    connect(m_stopSpeakingAction, &QAction::triggered, this, [] { MUDSpeaker::sharedInstance().stop(); });
    m_applicationMenu->addSeparator();
    m_quitAction = m_applicationMenu->addAction(tr("Quit"));
    m_quitAction->setShortcut(QKeySequence::Quit);
    m_quitAction->setMenuRole(QAction::QuitRole);
}

// The menus have no widget parent (they appear in several menu bars), so
// they are deleted here.
MUDMainMenu::~MUDMainMenu()
{
    delete m_connectMenu;
    delete m_applicationMenu;
}

QMenuBar* MUDMainMenu::installInWindow(QWidget* window, bool withSessionMenu)
{
    auto* menuBar = new QMenuBar(window);
    menuBar->addMenu(m_applicationMenu);
    if (withSessionMenu)
        menuBar->addMenu(makeSessionMenu(window));
    if (auto* mainWindow = qobject_cast<QMainWindow*>(window))
        mainWindow->setMenuBar(menuBar);
    else if (window->layout())
        window->layout()->setMenuBar(menuBar);
    return menuBar;
}

QMenu* MUDMainMenu::makeSessionMenu(QWidget* window)
{
    auto* menu = new QMenu(tr("Session"), window);
    QAction* messages = menu->addAction(tr("Messages"));
    messages->setShortcut(QKeySequence(tr("Ctrl+Shift+M")));
    messages->setCheckable(true);
    QAction* exits = menu->addAction(tr("Exits"));
    exits->setShortcut(QKeySequence(tr("Ctrl+Shift+E")));
    exits->setCheckable(true);
    menu->addSeparator();

    QPointer<QWidget> target(window);
    // Script kinds 0 notes, 1 aliases, 2 triggers, in the script manager's tabs.
    const QStringList scriptTitles = {tr("Notes..."), tr("Aliases..."), tr("Triggers...")};
    QList<QAction*> scriptActions;
    for (int scriptType = 0; scriptType < scriptTitles.size(); ++scriptType) {
        QAction* action = menu->addAction(scriptTitles[scriptType]);
        scriptActions.append(action);
        connect(action, &QAction::triggered, window, [target, scriptType] {
            if (auto* session = qobject_cast<MUDSessionWindow*>(target.data()))
                MUDScriptingWindowController::showForDocument(session->document(), session->document().connection(),
                                                              scriptType, session);
        });
    }
    // An unsaved session (opened from a telnet:// address) has nowhere to
    // keep scripts until its connection is saved.
    QAction* saveConnection = menu->addAction(tr("Save Connection…"));
    connect(saveConnection, &QAction::triggered, window, [target] {
        if (auto* session = qobject_cast<MUDSessionWindow*>(target.data()))
            MUDUnsavedSession::saveConnection(*session);
    });
    connect(menu, &QMenu::aboutToShow, window, [target, saveConnection, scriptActions] {
        auto* session = qobject_cast<MUDSessionWindow*>(target.data());
        const bool unsaved = session && MUDUnsavedSession::isUnsaved(*session);
        saveConnection->setEnabled(unsaved);
        for (QAction* action : scriptActions)
            action->setEnabled(!unsaved);
    });
    menu->addSeparator();
    // Checked while viewers may attach on a local port; the same item stops it.
    QAction* share = menu->addAction(tr("Share Session on Local Port…"));
    share->setCheckable(true);

    if (auto* session = qobject_cast<MUDSessionWindow*>(window)) {
        MUDDocument* document = &session->document();
        connect(share, &QAction::triggered, document, [document, share](bool checked) {
            if (checked)
                document->startSharing();
            else
                document->stopSharing();
            // A start that found no free port leaves the item unchecked.
            share->setChecked(document->isSharing());
        });
        connect(document, &MUDDocument::sharingChanged, share, &QAction::setChecked);
    } else {
        share->setEnabled(false);
    }

    const auto childWindows = [target]() -> MUDSessionChildWindows* {
        return target ? target->findChild<MUDSessionChildWindows*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    };
    connect(messages, &QAction::triggered, window, [childWindows] {
        if (MUDSessionChildWindows* windows = childWindows())
            windows->onViewCommunicationMainMenuItem();
    });
    connect(exits, &QAction::triggered, window, [childWindows] {
        if (MUDSessionChildWindows* windows = childWindows())
            windows->onViewExitsMainMenuItem();
    });
    // Check marks and availability as the menu opens.
    connect(menu, &QMenu::aboutToShow, window, [childWindows, messages, exits] {
        MUDSessionChildWindows* windows = childWindows();
        messages->setEnabled(windows);
        exits->setEnabled(windows);
        messages->setChecked(windows && windows->isCommunicationsWindowVisible());
        exits->setChecked(windows && windows->isExitsWindowVisible());
    });
    return menu;
}
