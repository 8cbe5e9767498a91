#include "app/connections/MUDConnectionsWindowController.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QUuid>
#include <QVBoxLayout>

#include "app/connections/MUDConnectionViewCell.h"
#include "app/connections/MUDConnectionsGridModel.h"
#include "app/connections/MUDEditConnectionWindowController.h"
#include "app/connections/MUDProductSettings.h"
#include "app/connections/MUDSessionOpener.h"
#include "app/views/MUDImageLibrary.h"
#include "core/CVLogHelper.h"
#include "core/CVNetworkActivityHelper.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/connection/CVFTPortTester.h"
#include "engine/connection/CVFTPortTesterDelegate.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDDefaultConnections.h"

// Resources compiled into a static library are registered explicitly.
static void initializeQuarrowResources()
{
    Q_INIT_RESOURCE(quarrow);
}

namespace {
// The tester holds its delegate weakly and outlives no window: this
// receiver forwards to the window while the window exists.
class PortTesterReceiver : public CVFTPortTesterDelegate {
public:
    explicit PortTesterReceiver(MUDConnectionsWindowController* window)
        : m_window(window)
    {
    }
    void entryWithIdentifiderChanged(const QString& identifier, const CVFTPortTesterResult& result) override
    {
        if (m_window)
            m_window->entryWithIdentifiderChanged(identifier, result);
    }

private:
    QPointer<MUDConnectionsWindowController> m_window;
};

void postConnectionsChanged()
{
    MUDNotificationCenter::defaultCenter().postNotification(
        MUDConnectionsWindowController::connectionsChangedNotificationName());
}
} // namespace

MUDConnectionsWindowController::MUDConnectionsWindowController(QWidget* parent, const QString& defaultConnectionsFolder)
    : QWidget(parent, Qt::Window)
    , m_portTester(std::make_shared<CVFTPortTester>())
    , m_model(new MUDConnectionsGridModel(this))
{
    m_portTesterReceiver = std::make_shared<PortTesterReceiver>(this);
    m_portTester->setDelegate(m_portTesterReceiver);
    m_model->setPortTester(m_portTester);

    MUDConnectionList connections = MUDPreservation::loadConnections();
    if (connections.isEmpty()) {
        const QString source = defaultConnectionsFolder.isEmpty()
                                   ? MUDConnectionsWindowController::defaultConnectionsFolder()
                                   : defaultConnectionsFolder;
        if (MUDDefaultConnections::copyDefaultConnections(source) > 0)
            postConnectionsChanged();
        connections = MUDPreservation::loadConnections();
    }
    buildInterface();
    m_model->setConnections(connections);
    addConnectionsToPortTester(connections);
    updateButtonsForSelection();
    updateNetworkActivityIndicator();
}

MUDConnectionsWindowController::~MUDConnectionsWindowController()
{
    m_portTester->cancel();
}

QString MUDConnectionsWindowController::connectionsChangedNotificationName()
{
    return QStringLiteral("com.corvane.tabula.connectionsChangedNotification");
}

QString MUDConnectionsWindowController::defaultConnectionsFolder()
{
    initializeQuarrowResources();
    return MUDProductSettings::defaultConnectionsFolder();
}

void MUDConnectionsWindowController::buildInterface()
{
    setWindowTitle(tr("Connections"));
    setObjectName(QStringLiteral("MUDConnectionsWindow"));
    resize(760, 560);

    m_applicationPicture = new QLabel;
    m_applicationPicture->setPixmap(
        MUDImageLibrary::imageNamed(QStringLiteral("MUDConnectionsWindowControllerImage"), 56));
    auto* productLabel = new QLabel(MUDProductSettings::productName());
    QFont productFont = productLabel->font();
    productFont.setPointSizeF(productFont.pointSizeF() * 1.6);
    productFont.setBold(true);
    productLabel->setFont(productFont);
    m_versionLabel = new QLabel(QStringLiteral("v%1").arg(QCoreApplication::applicationVersion()));
    m_versionLabel->setForegroundRole(QPalette::PlaceholderText);
    // A bar without range is Qt's busy indicator.
    m_networkActivityIndicator = new QProgressBar;
    m_networkActivityIndicator->setRange(0, 0);
    m_networkActivityIndicator->setTextVisible(false);
    m_networkActivityIndicator->setMaximumSize(96, 12);
    m_networkActivityIndicator->setToolTip(tr("Checking which servers answer..."));
    m_networkActivityIndicator->setAccessibleName(tr("Checking servers"));
    // Kept in the layout while hidden, so the header does not jump.
    QSizePolicy policy = m_networkActivityIndicator->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_networkActivityIndicator->setSizePolicy(policy);
    QObject::connect(&CVNetworkActivityHelper::sharedInstance(), &CVNetworkActivityHelper::indicatorVisibilityChanged,
                     this, &MUDConnectionsWindowController::updateNetworkActivityIndicator);
    auto* header = new QHBoxLayout;
    header->addWidget(m_applicationPicture);
    header->addWidget(productLabel);
    header->addWidget(m_versionLabel, 0, Qt::AlignBottom);
    header->addStretch();
    header->addWidget(m_networkActivityIndicator, 0, Qt::AlignVCenter);

    m_connectionsCollectionView = new QListView;
    m_connectionsCollectionView->setViewMode(QListView::IconMode);
    m_connectionsCollectionView->setMovement(QListView::Static);
    m_connectionsCollectionView->setResizeMode(QListView::Adjust);
    m_connectionsCollectionView->setUniformItemSizes(true);
    m_connectionsCollectionView->setGridSize(
        QSize(MUDConnectionViewCell::CellWidth, MUDConnectionViewCell::CellHeight));
    m_connectionsCollectionView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_connectionsCollectionView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_connectionsCollectionView->setAccessibleName(tr("Connections"));
    auto* cell = new MUDConnectionViewCell(m_connectionsCollectionView);
    m_connectionsCollectionView->setItemDelegate(cell);
    m_connectionsCollectionView->setMouseTracking(true);
    QObject::connect(cell, &MUDConnectionViewCell::editButtonClicked, this,
                     &MUDConnectionsWindowController::iconViewClickedEdit);
    m_connectionsCollectionView->setModel(m_model);
    QObject::connect(m_connectionsCollectionView, &QListView::doubleClicked, this,
                     &MUDConnectionsWindowController::collectionItemViewDoubleClick);
    QObject::connect(m_connectionsCollectionView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     &MUDConnectionsWindowController::updateButtonsForSelection);
    QObject::connect(m_model, &QAbstractItemModel::modelReset, this,
                     &MUDConnectionsWindowController::updateButtonsForSelection);

    m_createButton = new QPushButton(tr("New..."));
    m_editButton = new QPushButton(tr("Edit..."));
    m_deleteButton = new QPushButton(tr("Remove..."));
    m_supportButton = new QPushButton(tr("Support"));
    m_supportButton->setStyleSheet(QStringLiteral("QPushButton { color: #4cd07d; }"));
    auto* supportMenu = new QMenu(m_supportButton);
    supportMenu->addAction(tr("Report an issue..."), this, &MUDConnectionsWindowController::onSupportGithub);
    supportMenu->addAction(tr("Email support..."), this, &MUDConnectionsWindowController::onSupportEmail);
    m_supportButton->setMenu(supportMenu);
    m_closeButton = new QPushButton(tr("Close"));
    m_connectButton = new QPushButton(tr("Connect"));
    m_connectButton->setDefault(true);
    QObject::connect(m_createButton, &QPushButton::clicked, this,
                     &MUDConnectionsWindowController::onCreateNewConnection);
    QObject::connect(m_editButton, &QPushButton::clicked, this, &MUDConnectionsWindowController::onEditConnection);
    QObject::connect(m_deleteButton, &QPushButton::clicked, this, &MUDConnectionsWindowController::onRemoveConnection);
    QObject::connect(m_closeButton, &QPushButton::clicked, this, &MUDConnectionsWindowController::onCloseButton);
    QObject::connect(m_connectButton, &QPushButton::clicked, this,
                     &MUDConnectionsWindowController::onConnectToSelectedButton);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_createButton);
    buttons->addWidget(m_editButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch();
    buttons->addWidget(m_supportButton);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);
    buttons->addWidget(m_connectButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_connectionsCollectionView, 1);
    layout->addLayout(buttons);
}

MUDEditConnectionWindowController* MUDConnectionsWindowController::editConnectionWindowController() const
{
    return m_editConnectionWindowController;
}

QMessageBox* MUDConnectionsWindowController::removeAlert() const
{
    return m_removeAlert;
}

const MUDConnectionList& MUDConnectionsWindowController::connecitons() const
{
    return m_model->connections();
}

MUDConnectionList MUDConnectionsWindowController::selectedConnections() const
{
    MUDConnectionList selected;
    QModelIndexList rows = m_connectionsCollectionView->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows)
        if (auto connection = m_model->connectionAt(index.row()))
            selected.append(connection);
    return selected;
}

void MUDConnectionsWindowController::selectConnectionId(const QString& connectionId)
{
    const int row = m_model->rowForConnectionId(connectionId);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row);
    m_connectionsCollectionView->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    m_connectionsCollectionView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    m_connectionsCollectionView->scrollTo(index, QAbstractItemView::PositionAtTop);
}

void MUDConnectionsWindowController::updateButtonsForSelection()
{
    const bool hasSelection = m_connectionsCollectionView->selectionModel()->hasSelection();
    m_connectButton->setEnabled(hasSelection);
    m_editButton->setEnabled(hasSelection);
    m_deleteButton->setEnabled(hasSelection);
}

void MUDConnectionsWindowController::updateNetworkActivityIndicator()
{
    m_networkActivityIndicator->setVisible(CVNetworkActivityHelper::isNetworkActivityIndicatorVisible());
}

void MUDConnectionsWindowController::addConnectionsToPortTester(const MUDConnectionList& connections)
{
    QList<CVFTPortTesterEntry> entries;
    entries.reserve(connections.size());
    for (const std::shared_ptr<MUDConnection>& connection : connections)
        entries.append(CVFTPortTesterEntry(connection->connectionId(), connection->host(), connection->port()));
    m_portTester->addConnections(entries);
}

void MUDConnectionsWindowController::reloadConnectionsAndSelect(const QString& connectionId)
{
    m_connectionsCollectionView->selectionModel()->clearSelection();
    m_model->setConnections(MUDPreservation::loadConnections());
    if (!connectionId.isEmpty())
        selectConnectionId(connectionId);
    updateButtonsForSelection();
}

void MUDConnectionsWindowController::onCreateNewConnection()
{
    auto connection = std::make_shared<MUDConnection>();
    const QString connectionId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    connection->setConnectionId(connectionId);
    // Files written before the switch existed stay without it; new ones
    // answer the server from the start.
    connection->setNegotiatesTelnetOptions(true);
    openEditor(connection);
}

void MUDConnectionsWindowController::iconViewClickedEdit(const QModelIndex& index)
{
    CVLog(QStringLiteral("iconViewClickedEdit"));
    if (index.isValid() && index.row() < m_model->rowCount()) {
        m_connectionsCollectionView->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        m_connectionsCollectionView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    onEditConnection();
}

void MUDConnectionsWindowController::onEditConnection()
{
    const MUDConnectionList selected = selectedConnections();
    if (selected.isEmpty()) {
        QApplication::beep();
        return;
    }
    editConnectionId(selected.first()->connectionId());
}

void MUDConnectionsWindowController::editConnectionId(const QString& connectionId)
{
    const std::shared_ptr<MUDConnection> connection = MUDPreservation::loadConnectionById(connectionId);
    if (!connection) {
        CVLog(QStringLiteral(
            "MUDConnectionsWindowController:editConnectionId - Error: Could not find connection to edit."));
        QApplication::beep();
        return;
    }
    openEditor(connection);
}

void MUDConnectionsWindowController::openEditor(const std::shared_ptr<MUDConnection>& connection)
{
    const QString connectionId = connection->connectionId();
    auto* editor = new MUDEditConnectionWindowController(connection, this);
    m_editConnectionWindowController = editor;
    editor->beginSheetModalForWindow(this, [this, editor, connectionId](int returnCode) {
        editor->deleteLater();
        if (returnCode != 1)
            return;
        postConnectionsChanged();
        // A saved connection may point elsewhere now: test it afresh.
        m_portTester->removeCachedForIdentifier(connectionId);
        reloadConnectionsAndSelect(connectionId);
        const int row = m_model->rowForConnectionId(connectionId);
        if (row >= 0)
            addConnectionsToPortTester({m_model->connectionAt(row)});
    });
}

void MUDConnectionsWindowController::onRemoveConnection()
{
    const MUDConnectionList selected = selectedConnections();
    if (selected.isEmpty()) {
        QApplication::beep();
        return;
    }
    const std::shared_ptr<MUDConnection> connection = selected.first();
    auto* alert = new QMessageBox(this);
    alert->setIcon(QMessageBox::Warning);
    alert->setWindowTitle(tr("Remove connection?"));
    alert->setText(tr("Remove connection?"));
    alert->setInformativeText(
        tr("Remove the connection '%1'? Once removed, it cannot be recovered.").arg(connection->title()));
    QPushButton* cancel = alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
    QPushButton* remove = alert->addButton(tr("Remove"), QMessageBox::DestructiveRole);
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    m_removeAlert = alert;
    QObject::connect(alert, &QMessageBox::finished, this, [this, alert, remove, connection] {
        if (alert->clickedButton() == remove)
            removeSelectedConnection(connection);
    });
    alert->open();
}

void MUDConnectionsWindowController::removeSelectedConnection(const std::shared_ptr<MUDConnection>& connection)
{
    CVLog(QStringLiteral("Wants to remove connection"));
    CVError error;
    if (!MUDPreservation::removeConnection(*connection, &error)) {
        CVLog(QStringLiteral("MUDConnectionsWindowController:onRemoveConnection - Failed to remove connection: %1")
                  .arg(error.description));
        return;
    }
    postConnectionsChanged();
    reloadConnectionsAndSelect(QString());
}

void MUDConnectionsWindowController::onConnectToSelectedButton()
{
    const MUDConnectionList selected = selectedConnections();
    if (selected.isEmpty()) {
        CVLog(QStringLiteral("Nothing selected"));
        QApplication::beep();
        return;
    }
    CVLog(QStringLiteral("onConnectToSelectedButton"));
    openSession(selected.first());
}

void MUDConnectionsWindowController::collectionItemViewDoubleClick()
{
    CVLog(QStringLiteral("collectionItemViewDoubleClick"));
    const MUDConnectionList selected = selectedConnections();
    if (!selected.isEmpty())
        openSession(selected.first());
}

void MUDConnectionsWindowController::openSession(std::shared_ptr<MUDConnection> connection)
{
    if (!m_sessionOpener || !connection)
        return;
    m_sessionOpener->openSessionForConnection(std::move(connection));
    close();
}

void MUDConnectionsWindowController::onCloseButton()
{
    close();
}

QString MUDConnectionsWindowController::supportMailURL()
{
    QString subject = MUDProductSettings::productName() + QStringLiteral(" support");
    subject.replace(QLatin1Char(' '), QStringLiteral("%20"));
    return QStringLiteral("mailto:%1?subject=%2").arg(MUDProductSettings::supportEmailAddress(), subject);
}

void MUDConnectionsWindowController::onSupportEmail()
{
    QDesktopServices::openUrl(QUrl(supportMailURL(), QUrl::StrictMode));
}

void MUDConnectionsWindowController::onSupportGithub()
{
    QDesktopServices::openUrl(QUrl(MUDProductSettings::issueTrackerURL()));
}

void MUDConnectionsWindowController::entryWithIdentifiderChanged(const QString& identifier, const CVFTPortTesterResult&)
{
    const int row = m_model->rowForConnectionId(identifier);
    if (row >= 0)
        m_model->reloadItem(row);
}

void MUDConnectionsWindowController::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit windowClosed();
}
