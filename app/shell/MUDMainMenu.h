#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The application's menus. Each top-level window gets its own menu bar
// showing the shared Quarrow menu (the Connect submenu, Open, Preferences,
// the data folder, Quit). Session windows also get a Session menu acting on that
// window: the messages and exits toggles of its child windows, and the
// script manager's notes, aliases and triggers.
// Main thread.
class MUDMainMenu : public QObject {
    Q_OBJECT
public:
    explicit MUDMainMenu(QObject* parent = nullptr);
    ~MUDMainMenu() override;

    // Its first item ("Connections...") stays; the connections follow it.
    QMenu* connectMenu() const { return m_connectMenu; }
    QAction* connectionsAction() const { return m_connectionsAction; }
    QAction* openAction() const { return m_openAction; }
    QAction* preferencesAction() const { return m_preferencesAction; }
    QAction* openDataFolderAction() const { return m_openDataFolderAction; }
    QAction* stopSpeakingAction() const { return m_stopSpeakingAction; }
    QAction* quitAction() const { return m_quitAction; }

    // Gives `window` a menu bar; `withSessionMenu` adds the Session menu.
    QMenuBar* installInWindow(QWidget* window, bool withSessionMenu = true);

private:
    QMenu* makeSessionMenu(QWidget* window);

    QMenu* m_applicationMenu;
    QMenu* m_connectMenu;
    QAction* m_connectionsAction;
    QAction* m_openAction;
    QAction* m_preferencesAction;
    QAction* m_openDataFolderAction;
    QAction* m_stopSpeakingAction;
    QAction* m_quitAction;
};
