#include "TinyMuxServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const kInstaller = "/usr/games/tinymux-install";
const char* const kServerBinaries = "/usr/lib/tinymux/game/bin";

// A port that was free a moment ago on 127.0.0.1.
quint16 freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool canConnect(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

}

TinyMuxServer::~TinyMuxServer()
{
    stop();
}

bool TinyMuxServer::isInstalled()
{
    return QFileInfo::exists(kInstaller) && QFileInfo::exists(QString(kServerBinaries) + "/netmux");
}

QString TinyMuxServer::gameFolder() const
{
    return m_folder ? m_folder->filePath("tinymux/game") : QString();
}

bool TinyMuxServer::start(QString* error)
{
    if (!isInstalled()) {
        *error = "TinyMUX is not installed (Debian package tinymux)";
        return false;
    }
    if (!install(error) || !configure(error))
        return false;

    m_process = std::make_unique<ChildProgram>();
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_LIBRARY_PATH", kServerBinaries);
    if (!m_process->start(QString(kServerBinaries) + "/netmux",
                          {"-c", "netmux.conf", "-p", m_folder->filePath("netmux.pid"), "-e", gameFolder()},
                          environment, gameFolder())) {
        *error = "netmux did not start: " + m_process->errorText();
        return false;
    }
    if (!waitUntilAccepting(15000)) {
        *error = "netmux did not accept connections: " + QString::fromLocal8Bit(m_process->readOutput());
        stop();
        return false;
    }
    return true;
}

void TinyMuxServer::stop()
{
    if (!m_process)
        return;
    m_process->stop();
    m_process.reset();
}

bool TinyMuxServer::install(QString* error)
{
    m_folder = std::make_unique<QTemporaryDir>();
    if (!m_folder->isValid()) {
        *error = "no temporary folder";
        return false;
    }
    ChildProgram installer;
    const bool installed =
        installer.start(kInstaller, {}, QProcessEnvironment::systemEnvironment(), m_folder->path()) &&
        installer.waitForFinished(30000);
    if (!installed || !QFileInfo::exists(gameFolder() + "/netmux.conf")) {
        *error = "tinymux-install failed: " + installer.errorText() + QString::fromLocal8Bit(installer.readOutput());
        return false;
    }
    // Without its shipped database the server builds a minimal fresh one.
    QFile::remove(gameFolder() + "/data/netmux.db");
    return true;
}

bool TinyMuxServer::configure(QString* error)
{
    m_port = freeLoopbackPort();
    QFile file(gameFolder() + "/netmux.conf");
    if (m_port == 0 || !file.open(QIODevice::ReadOnly)) {
        *error = "cannot configure netmux";
        return false;
    }
    QByteArray config;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("port "))
            config += line + '\n';
    }
    file.close();
    config += "port " + QByteArray::number(m_port) + "\n";
    config += "ip_address 127.0.0.1\n";
    config += "player_flags ANSI\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config) != config.size()) {
        *error = "cannot write netmux.conf";
        return false;
    }
    return true;
}

bool TinyMuxServer::waitUntilAccepting(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!m_process->isRunning())
            return false;
        if (canConnect(m_port))
            return true;
        QThread::msleep(100);
    }
    return false;
}
