// quarrow-viewer: watches and drives a Quarrow session shared on a local
// port. Prints the session's output with its colours and every script
// message; each line typed on standard input is sent as a command, as if
// typed in the session. Ends when the session stops sharing or closes.
//   quarrow-viewer PORT
#include <QCommandLineParser>
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

// The port from the command line, or 0 after printing what was wrong.
uint portFromCommandLine(const QStringList& arguments, bool* textOnly)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watches and drives a Quarrow session shared on a local port (Session > Share Session on Local Port…).\n"
        "Prints the session's output with its colours; each line typed is sent as a command."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("The port the session shows, on 127.0.0.1."));
    const bool parsed = parser.parse(arguments);
    *textOnly = parser.isSet(help) || parser.isSet(version);
    if (parser.isSet(help)) {
        write(stdout, parser.helpText().toLocal8Bit());
        return 0;
    }
    if (parser.isSet(version)) {
        write(stdout, QStringLiteral("quarrow-viewer %1\n").arg(QCoreApplication::applicationVersion()).toLocal8Bit());
        return 0;
    }
    bool valid = false;
    const QStringList positional = parser.positionalArguments();
    const uint port = parsed && positional.size() == 1 ? positional.constFirst().toUInt(&valid) : 0;
    if (!valid || port == 0 || port > 65535) {
        const QString reason = !parsed ? parser.errorText() : QStringLiteral("Give one port from 1 to 65535.");
        write(stderr, QStringLiteral("quarrow-viewer: %1\nUsage: quarrow-viewer PORT (see quarrow-viewer --help)\n")
                          .arg(reason)
                          .toLocal8Bit());
        return 0;
    }
    return port;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARROW_VERSION));
    bool textOnly = false;
    const uint port = portFromCommandLine(QCoreApplication::arguments(), &textOnly);
    if (textOnly)
        return 0;
    if (port == 0)
        return 2;
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
