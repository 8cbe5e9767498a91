#pragma once

#include <QMutex>
#include <QString>

// Where storage keeps its folder tree: $QUARROW_DATA_DIR when set, else the
// application's data folder. Computed once and kept; it is computed again
// only when QUARROW_DATA_DIR itself changes (tests give every case its own
// folder). Any thread (guarded by a mutex).
class MUDStorageRoot {
public:
    static MUDStorageRoot& sharedInstance();

    // The root folder, created with its parents when missing.
    QString path();
    // Where the root is for the current environment, as an absolute clean
    // path; creates nothing and logs nothing.
    static QString locate();

private:
    MUDStorageRoot() = default;

    QMutex m_mutex;
    bool m_computed = false;
    bool m_eventLogged = false;
    QByteArray m_environmentValue;
    QString m_path;
};
