#include "app/scripting/MUDScriptingLeftPanelViewController.h"

#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptTreeCommit.h"
#include "app/scripting/MUDScriptTreeIcons.h"
#include "app/scripting/MUDScriptTreeModel.h"
#include "app/scripting/MUDScriptingOutlineViewController.h"
#include "engine/connection/MUDConnection.h"

MUDScriptingLeftPanelViewController::MUDScriptingLeftPanelViewController(std::shared_ptr<MUDConnection> connection,
                                                                         QWidget* parent)
    : QWidget(parent)
    , m_connection(std::move(connection))
    , m_tabBar(new QTabBar(this))
    , m_tabView(new QStackedWidget(this))
{
    m_tabBar->setIconSize(QSize(16, 16));
    m_tabBar->setExpanding(false);
    m_tabBar->setAccessibleName(QStringLiteral("Script kinds"));
    const QString tips[] = {QStringLiteral("Notes"), QStringLiteral("Aliases"), QStringLiteral("Triggers")};
    for (int kind = MUDScriptKind::Notes; kind <= MUDScriptKind::Triggers; ++kind) {
        m_tabBar->addTab(MUDScriptTreeIcons::tab(kind), QString());
        m_tabBar->setTabToolTip(kind, tips[kind]);
        // The tabs show pictures only: a screen reader reads the kind.
        m_tabBar->setAccessibleTabName(kind, tips[kind]);
        m_tabBar->setTabData(kind, kind);
        m_trees[kind] = new MUDScriptingOutlineViewController(m_tabView);
        m_tabView->addWidget(m_trees[kind]);
        connect(m_trees[kind], &MUDScriptingOutlineViewController::selectionChanged, this,
                &MUDScriptingLeftPanelViewController::selectionChanged);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabBar, 0, Qt::AlignHCenter);
    layout->addWidget(m_tabView, 1);
    connect(m_tabBar, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0)
            return;
        selectTab(index);
        emit panelChanged(index);
    });
    for (int kind : {MUDScriptKind::Aliases, MUDScriptKind::Triggers, MUDScriptKind::Notes})
        m_trees[kind]->initializeWithType(kind, m_connection);
}

int MUDScriptingLeftPanelViewController::selectedTabPanel() const
{
    const int index = m_tabBar->currentIndex();
    return MUDScriptKind::isValid(index) ? index : -1;
}

void MUDScriptingLeftPanelViewController::selectTab(int index)
{
    if (!MUDScriptKind::isValid(index))
        return;
    m_tabBar->setCurrentIndex(index);
    m_tabView->setCurrentIndex(index);
}

MUDScriptingOutlineViewController* MUDScriptingLeftPanelViewController::treeController(int scriptKind) const
{
    return MUDScriptKind::isValid(scriptKind) ? m_trees[scriptKind] : nullptr;
}

MUDScriptingOutlineViewController* MUDScriptingLeftPanelViewController::selectedTreeController() const
{
    return treeController(selectedTabPanel());
}

void MUDScriptingLeftPanelViewController::addNewFolder()
{
    if (auto* tree = selectedTreeController())
        tree->addNewFolder();
}

void MUDScriptingLeftPanelViewController::addNewEntry()
{
    if (auto* tree = selectedTreeController())
        tree->addNewEntry();
}

void MUDScriptingLeftPanelViewController::removeSelectedEntry()
{
    if (auto* tree = selectedTreeController())
        tree->model()->removeEntry(tree->selectedEntry());
}

void MUDScriptingLeftPanelViewController::reloadDisplayForSelectedEntry()
{
    if (auto* tree = selectedTreeController())
        tree->reloadDisplayForSelectedEntry();
}

QStringList MUDScriptingLeftPanelViewController::saveChanges()
{
    if (!m_connection)
        return {};
    return MUDScriptTreeCommit::saveChanges(*m_connection, m_trees[MUDScriptKind::Notes]->model()->entries(),
                                            m_trees[MUDScriptKind::Aliases]->model()->entries(),
                                            m_trees[MUDScriptKind::Triggers]->model()->entries());
}
