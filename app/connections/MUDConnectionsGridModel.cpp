#include "app/connections/MUDConnectionsGridModel.h"

#include "app/connections/MUDConnectionViewCell.h"
#include "core/CVLogHelper.h"
#include "engine/connection/CVFTPortTester.h"
#include "engine/connection/MUDConnection.h"

MUDConnectionsGridModel::MUDConnectionsGridModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void MUDConnectionsGridModel::setConnections(const MUDConnectionList& connections)
{
    beginResetModel();
    m_connections = connections;
    m_pictures.clear();
    endResetModel();
}

std::shared_ptr<MUDConnection> MUDConnectionsGridModel::connectionAt(int row) const
{
    return row >= 0 && row < m_connections.size() ? m_connections[row] : nullptr;
}

int MUDConnectionsGridModel::rowForConnectionId(const QString& connectionId) const
{
    for (int row = 0; row < m_connections.size(); ++row)
        if (m_connections[row]->connectionId() == connectionId)
            return row;
    return -1;
}

bool MUDConnectionsGridModel::reloadItem(int row)
{
    if (row < 0 || row >= m_connections.size()) {
        CVLog(QStringLiteral("reloadItemsAtIndexPaths is invalid."));
        return false;
    }
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed);
    return true;
}

int MUDConnectionsGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_connections.size());
}

QVariant MUDConnectionsGridModel::data(const QModelIndex& index, int role) const
{
    const std::shared_ptr<MUDConnection> connection = connectionAt(index.row());
    if (!index.isValid() || !connection)
        return {};
    const auto result = [&]() -> std::optional<CVFTPortTesterResult> {
        const std::shared_ptr<CVFTPortTester> tester = m_portTester.lock();
        return tester ? tester->resultForIdentifier(connection->connectionId()) : std::nullopt;
    };
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return connection->title();
    case Qt::DecorationRole: {
        auto picture = m_pictures.constFind(connection->connectionId());
        if (picture == m_pictures.constEnd())
            picture =
                m_pictures.insert(connection->connectionId(), MUDConnectionViewCell::pictureForConnection(*connection));
        return picture.value();
    }
    case Qt::AccessibleTextRole:
        return QStringLiteral("%1, %2:%3, %4")
            .arg(connection->title(), connection->host())
            .arg(connection->port())
            .arg(MUDConnectionViewCell::statusText(result()));
    case ConnectionIdRole: return connection->connectionId();
    case StatusImageNameRole: return MUDConnectionViewCell::statusImageName(result());
    case AddressLineRole: return MUDConnectionViewCell::addressLine(result());
    default: return {};
    }
}
