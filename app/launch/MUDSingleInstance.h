#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// One running Quarrow per user and data folder. The first launch owns a
// well-known name on the user's session bus, one name per data folder, and
// answers Open calls on it; a later launch with the same folder hands its
// targets over and ends. Without a session bus every launch runs on its own.
// Main thread.
class MUDSingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.quarrow.Quarrow.Launcher")
public:
    // How long a later launch waits for the running one to answer.
    static constexpr int HandOverTimeoutMs = 10000;

    enum class Role {
        // This process owns the name: it is the running instance.
        Primary,
        // Another process owns it and took the targets.
        HandedOver,
        // No session bus: this process runs on its own.
        Alone,
        // Another process owns the name but did not take the targets.
        Failed,
    };

    // io.github.quarrow.Quarrow.Instance_ and a short hash of the folder's
    // canonical path.
    static QString serviceNameForDataFolder(const QString& dataFolder);
    static QString objectPath() { return QStringLiteral("/io/github/quarrow/Quarrow"); }
    static QString interfaceName() { return QStringLiteral("io.github.quarrow.Quarrow.Launcher"); }

    MUDSingleInstance(const QDBusConnection& bus, const QString& dataFolder, QObject* parent = nullptr);
    ~MUDSingleInstance() override;

    // Becomes the running instance, or hands `targets` to the one that is.
    // After HandedOver, `errors` holds what the running one could not open;
    // after Failed, why the hand-over failed.
    Role start(const QStringList& targets, QStringList* errors);

    // What the running instance does with a later launch's targets; returns
    // the error texts.
    void setOpenHandler(std::function<QStringList(const QStringList& targets)> handler);
    QString serviceName() const { return m_serviceName; }

public slots:
    // Called over the bus by a later launch.
    Q_SCRIPTABLE QStringList Open(const QStringList& targets);

private:
    bool registerName();

    QDBusConnection m_bus;
    QString m_serviceName;
    bool m_registered = false;
    std::function<QStringList(const QStringList&)> m_openHandler;
};
