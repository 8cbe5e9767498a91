#include "app/scripting/MUDScriptingOutlineViewController.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/CVTriggerTreeEntry.h"
#include "app/scripting/MUDFolderNameWindowController.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptTreeModel.h"
#include "app/scripting/MUDTreeEntryTriggerCellView.h"

MUDScriptingOutlineViewController::MUDScriptingOutlineViewController(QWidget* parent)
    : QWidget(parent)
    , m_model(new MUDScriptTreeModel(this))
    , m_searchField(new QLineEdit(this))
    , m_outlineView(new QTreeView(this))
{
    m_searchField->setPlaceholderText(QStringLiteral("Search"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(QStringLiteral("Search"));
    m_outlineView->setAccessibleName(QStringLiteral("Scripts"));
    m_outlineView->setObjectName(QStringLiteral("triggerOutlineViewColumn"));
    m_outlineView->setHeaderHidden(true);
    m_outlineView->setModel(m_model);
    m_outlineView->setItemDelegate(new MUDTreeEntryTriggerCellView(m_outlineView));
    m_outlineView->setIconSize(QSize(MUDTreeEntryTriggerCellView::IconSize, MUDTreeEntryTriggerCellView::IconSize));
    m_outlineView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_outlineView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_searchField);
    layout->addWidget(m_outlineView, 1);

    connect(m_searchField, &QLineEdit::textChanged, m_model, &MUDScriptTreeModel::setSearchText);
    connect(m_model, &MUDScriptTreeModel::searchTextCleared, this, [this] {
        // The model has dropped its filter already: no second reload.
        const QSignalBlocker quiet(m_searchField);
        m_searchField->clear();
    });
    connect(m_model, &MUDScriptTreeModel::treeReloaded, this, &MUDScriptingOutlineViewController::onTreeReloaded);
    connect(m_model, &MUDScriptTreeModel::entryAdded, this, &MUDScriptingOutlineViewController::onEntryAdded);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { emit selectionChanged(this, nullptr); });
    // The selection, not the current index: on a mouse press the current
    // index moves before the selection does.
    connect(m_outlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectionChanged(this, selectedEntry()); });
    connect(m_outlineView, &QWidget::customContextMenuRequested, this,
            &MUDScriptingOutlineViewController::showContextMenu);
}

MUDScriptingOutlineViewController::~MUDScriptingOutlineViewController() = default;

void MUDScriptingOutlineViewController::initializeWithType(int entryType,
                                                           const std::shared_ptr<MUDConnection>& connection)
{
    m_model->initializeWithType(entryType, connection);
}

CVDatabaseTreeEntry* MUDScriptingOutlineViewController::selectedEntry() const
{
    const QModelIndexList rows = m_outlineView->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : m_model->entryForIndex(rows.first());
}

void MUDScriptingOutlineViewController::selectEntry(const CVDatabaseTreeEntry* entry)
{
    const QModelIndex index = m_model->indexForEntry(entry);
    m_outlineView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    if (index.isValid())
        m_outlineView->scrollTo(index);
}

void MUDScriptingOutlineViewController::addNewEntry()
{
    m_model->addNewEntry(selectedEntry());
}

void MUDScriptingOutlineViewController::addNewFolder()
{
    // The receiving folder is fixed now: the selection may change while
    // the sheet is up.
    const auto folder = m_model->receivingFolder(selectedEntry());
    askFolderName(QString(), [this, folder](const QString& name) { m_model->addNewFolder(folder.get(), name); });
}

void MUDScriptingOutlineViewController::renameFolder(CVDatabaseTreeEntry* entry)
{
    const auto folder = std::dynamic_pointer_cast<CVFolderTreeEntry>(entry ? entry->original() : nullptr);
    if (!folder || folder->isRoot())
        return;
    askFolderName(folder->displayName(),
                  [this, folder](const QString& name) { m_model->renameFolder(folder.get(), name); });
}

void MUDScriptingOutlineViewController::askFolderName(const QString& initial, std::function<void(const QString&)> done)
{
    if (m_folderNameSheet)
        return;
    auto* sheet = new MUDFolderNameWindowController(initial, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_folderNameSheet = sheet;
    sheet->beginSheetModalForWindow(window(), [sheet, done = std::move(done)](int returnCode) {
        if (returnCode == 1)
            done(sheet->folderName());
    });
}

void MUDScriptingOutlineViewController::reloadDisplayForSelectedEntry()
{
    if (CVDatabaseTreeEntry* entry = selectedEntry()) {
        m_model->entryChanged(entry);
        for (const auto& child : entry->childTreeEntries())
            m_model->entryChanged(child.get());
    }
}

void MUDScriptingOutlineViewController::onTreeReloaded()
{
    const int roots = m_model->rowCount();
    const bool all = m_model->expandsDescendants();
    for (int row = 0; row < roots; ++row)
        expand(m_model->index(row, 0), all);
}

void MUDScriptingOutlineViewController::expand(const QModelIndex& index, bool recursive)
{
    if (recursive)
        m_outlineView->expandRecursively(index);
    else
        m_outlineView->expand(index);
}

void MUDScriptingOutlineViewController::onEntryAdded(const QModelIndex& index)
{
    onTreeReloaded();
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        m_outlineView->expand(parent);
    selectEntry(m_model->entryForIndex(index));
}

void MUDScriptingOutlineViewController::showContextMenu(const QPoint& position)
{
    const QModelIndex index = m_outlineView->indexAt(position);
    if (!index.isValid())
        return;
    CVDatabaseTreeEntry* entry = m_model->entryForIndex(index);
    selectEntry(entry);
    m_outlineView->setFocus();
    if (QMenu* menu = menuForEntry(entry)) {
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_outlineView->viewport()->mapToGlobal(position));
    }
}

QString MUDScriptingOutlineViewController::locationToReveal(const CVDatabaseTreeEntry& entry)
{
    if (auto folder = dynamic_cast<const CVFolderTreeEntry*>(&entry))
        return folder->origionalURL();
    if (auto trigger = dynamic_cast<const CVTriggerTreeEntry*>(&entry))
        return trigger->trigger()->parentURL();
    return {};
}

QMenu* MUDScriptingOutlineViewController::menuForEntry(CVDatabaseTreeEntry* entry)
{
    const auto target = entry ? entry->original() : nullptr;
    const auto folder = std::dynamic_pointer_cast<CVFolderTreeEntry>(target);
    const auto trigger = std::dynamic_pointer_cast<CVTriggerTreeEntry>(target);
    if (!folder && !trigger)
        return nullptr;
    auto* menu = new QMenu(this);
    const auto item = [](QMenu* into, const QString& title, bool enabled, auto action) {
        QAction* added = into->addAction(title);
        added->setEnabled(enabled);
        if (enabled)
            QObject::connect(added, &QAction::triggered, into, action);
        return added;
    };
    const auto reveal = [target] { QDesktopServices::openUrl(QUrl::fromLocalFile(locationToReveal(*target))); };
    const auto remove = [this, target] { m_model->toggleRemoved(target.get()); };
    if (folder) {
        QMenu* add = menu->addMenu(QStringLiteral("Add"));
        const QString entryTitle = folder->entryType() == MUDScriptKind::Notes     ? QStringLiteral("Note")
                                   : folder->entryType() == MUDScriptKind::Aliases ? QStringLiteral("Alias")
                                                                                   : QStringLiteral("Trigger");
        item(add, entryTitle, true, [this, folder] { m_model->addNewEntry(folder.get()); });
        add->addSeparator();
        item(add, QStringLiteral("Folder..."), true, [this, folder] {
            askFolderName(QString(),
                          [this, folder](const QString& name) { m_model->addNewFolder(folder.get(), name); });
        });
        menu->addSeparator();
        item(menu, QStringLiteral("Rename..."), !folder->isRoot(), [this, folder] { renameFolder(folder.get()); });
        item(menu, QStringLiteral("Remove"), folder->canBeRemoved(), remove);
        menu->addSeparator();
        item(menu, QStringLiteral("Show in finder"), !folder->isNewFolder(), reveal);
    } else {
        item(menu, QStringLiteral("Remove"), trigger->canBeRemoved(), remove);
        menu->addSeparator();
        item(menu, QStringLiteral("Show in finder"), !trigger->trigger()->isNew(), reveal);
    }
    return menu;
}
