#include "PrivateSessionBus.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

namespace {
constexpr int AddressWaitMs = 10000;
}

bool PrivateSessionBus::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        m_errorText = QStringLiteral("dbus-daemon is not installed (package dbus, scripts/install-deps.sh)");
        return false;
    }
    if (!m_daemon.start(program, {"--session", "--nofork", "--print-address"})) {
        m_errorText = m_daemon.errorText();
        return false;
    }
    QByteArray output;
    QElapsedTimer waited;
    waited.start();
    while (!output.contains('\n') && waited.elapsed() < AddressWaitMs && m_daemon.isRunning()) {
        output += m_daemon.readOutput();
        QThread::msleep(10);
    }
    output += m_daemon.readOutput();
    m_address = QString::fromUtf8(output.left(output.indexOf('\n'))).trimmed();
    if (!m_address.startsWith(QLatin1String("unix:"))) {
        m_errorText = QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(output);
        return false;
    }
    return true;
}

QProcessEnvironment PrivateSessionBus::environment(const QString& dataFolder) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QUARROW_DATA_DIR"), dataFolder);
    return environment;
}
