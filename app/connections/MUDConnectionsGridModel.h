#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QPixmap>
#include <memory>

#include "engine/storage/MUDPreservation.h"

class CVFTPortTester;

// The connections grid's items: one per connection, in storage order, with
// the latest reachability result from the port tester. Main thread.
class MUDConnectionsGridModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        ConnectionIdRole = Qt::UserRole + 1,
        StatusImageNameRole,
        AddressLineRole,
    };

    explicit MUDConnectionsGridModel(QObject* parent = nullptr);

    // Results are read from this tester (none: every item is "searching").
    void setPortTester(std::weak_ptr<CVFTPortTester> portTester) { m_portTester = std::move(portTester); }

    void setConnections(const MUDConnectionList& connections);
    const MUDConnectionList& connections() const { return m_connections; }
    std::shared_ptr<MUDConnection> connectionAt(int row) const;
    // -1 when no item has that connection id.
    int rowForConnectionId(const QString& connectionId) const;
    // Redisplays one item; a row outside the grid is refused with a log line.
    bool reloadItem(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    MUDConnectionList m_connections;
    std::weak_ptr<CVFTPortTester> m_portTester;
    // Pictures are read from disk once per item and reload.
    mutable QHash<QString, QPixmap> m_pictures;
};
