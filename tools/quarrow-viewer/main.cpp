// quarrow-viewer: watches and drives a Quarrow session shared on a local
// port. Prints the session's output with its colours and every script
// message; each line typed on standard input is sent as a command, as if
// typed in the session. Ends when the session stops sharing or closes.
//   quarrow-viewer <port>
#include <QCoreApplication>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "MUDViewerTerminalRenderer.h"
#include "engine/connection/MUDProxyViewerConnection.h"

namespace {

constexpr int kConnectWaitMs = 5000;
constexpr int kReceiveWaitMs = 50;

// Lines typed on standard input, read on their own thread so a blocked read
// never stops the output.
class TypedLines {
public:
    void start()
    {
        std::thread([this] {
            std::string line;
            while (std::getline(std::cin, line)) {
                QMutexLocker lock(&m_mutex);
                m_lines.append(QString::fromStdString(line));
            }
        }).detach();
    }
    QStringList take()
    {
        QMutexLocker lock(&m_mutex);
        QStringList lines;
        lines.swap(m_lines);
        return lines;
    }

private:
    QMutex m_mutex;
    QStringList m_lines;
};

void write(FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool valid = false;
    const uint port = argc == 2 ? QString::fromLocal8Bit(argv[1]).toUInt(&valid) : 0;
    if (!valid || port == 0 || port > 65535) {
        write(stderr, "usage: quarrow-viewer <port>\n");
        return 2;
    }
    MUDProxyViewerConnection connection;
    if (!connection.connect(QStringLiteral("127.0.0.1"), quint16(port), kConnectWaitMs)) {
        write(stderr, QStringLiteral("Cannot connect to 127.0.0.1:%1: %2\n")
                          .arg(port)
                          .arg(connection.lastErrorText())
                          .toLocal8Bit());
        return 1;
    }
    TypedLines typed;
    typed.start();
    while (connection.isConnected()) {
        for (const QString& document : connection.receiveDocuments(kReceiveWaitMs)) {
            QString error;
            const QByteArray text = MUDViewerTerminalRenderer::render(document, &error);
            if (!error.isEmpty())
                write(stderr, QStringLiteral("Skipped a document: %1\n").arg(error).toLocal8Bit());
            write(stdout, text);
        }
        for (const QString& line : typed.take()) {
            if (!connection.sendCommand(line))
                break;
        }
    }
    write(stdout, "\x1b[0m");
    write(stderr, "The session is no longer shared.\n");
    return 0;
}
