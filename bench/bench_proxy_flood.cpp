// Documents per second that the proxy server delivers to 10 viewers while a
// session floods it with 10 MB of output as appendText-sized documents
// (about 1,000 characters each, so each is gzip-compressed). The log goes to
// a discarding delegate so the figure is the server's, not the terminal's.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "core/CVLogHelper.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"
#include "engine/connection/MUDProxyServer.h"
#include "engine/connection/MUDProxyServerDelegate.h"
#include "engine/connection/MUDProxyViewerConnection.h"
#include "tests/support/doubles/NullLogDelegate.h"

namespace {
constexpr int kViewers = 10;
constexpr qsizetype kFloodBytes = 10 * 1024 * 1024;
constexpr int kDocumentChars = 1000;
constexpr int kTimeoutMs = 120000;

class BenchDelegate : public MUDProxyServerDelegate {
public:
    void MUDProxyServerInitialBuffer(MUDProxyServer*, InitialBufferReady ready) override
    {
        ready(std::make_shared<const MUDProxyOutgoingFrame>(
                  QStringLiteral("{\"action\":\"initialBuffer\",\"entries\":[]}")),
              {});
    }
    void MUDProxyServerRequestsCommand(MUDProxyServer*, const QString&) override { }
    void MUDProxyServerIsListening(MUDProxyServer*, quint16) override { }
    void MUDProxyServerFailedToListen(MUDProxyServer*, const QString&) override { }
};

// Game-like text: words from a small vocabulary, seeded so runs compare.
QString documentText(std::mt19937& random)
{
    static const char* words[] = {"the",   "orc",   "hits",  "you",   "with",  "a",    "rusty",
                                  "sword", "gold",  "coins", "north", "south", "dark", "forest",
                                  "room",  "exits", "[32m",  "[0m",   "HP:",   "42"};
    std::uniform_int_distribution<int> pick(0, 19);
    QString text;
    while (text.size() < kDocumentChars - 60) {
        text += QLatin1String(words[pick(random)]);
        text += QLatin1Char(' ');
    }
    return QStringLiteral("{\"action\":\"appendText\",\"entries\":[{\"fg\":\"#c0c0c0\",\"text\":\"%1\"}]}").arg(text);
}

bool waitWithEvents(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NullLogDelegate discard;
    CVLogHelper::sharedInstance().setDelegate(&discard);

    auto delegate = std::make_shared<BenchDelegate>();
    auto server = std::make_shared<MUDProxyServer>(delegate);
    server->setPortRange(5800, MUDProxyServer::LastPort);
    server->startListening();
    if (!waitWithEvents([&] { return server->port() != 0; })) {
        std::fprintf(stderr, "the proxy server did not start\n");
        return 1;
    }

    std::mt19937 random(20240601);
    QStringList documents;
    qsizetype bytes = 0;
    while (bytes < kFloodBytes) {
        documents.append(documentText(random));
        bytes += documents.last().toUtf8().size();
    }
    const int expected = static_cast<int>(documents.size()) + 1;

    std::atomic<int> attached{0};
    std::vector<std::atomic<int>> received(kViewers);
    std::vector<std::thread> viewers;
    for (int index = 0; index < kViewers; ++index) {
        viewers.emplace_back([&, index] {
            MUDProxyViewerConnection viewer;
            if (!viewer.connect(QStringLiteral("127.0.0.1"), server->port(), 1000))
                return;
            ++attached;
            QElapsedTimer timer;
            timer.start();
            while (received[index] < expected && viewer.isConnected() && timer.elapsed() < kTimeoutMs)
                received[index] += static_cast<int>(viewer.receiveDocuments(50).size());
        });
    }
    if (!waitWithEvents([&] { return attached == kViewers && server->clientCount() == kViewers; })) {
        std::fprintf(stderr, "viewers did not attach\n");
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    for (const QString& document : std::as_const(documents))
        server->sendString(document);
    const qint64 queuedMs = timer.elapsed();
    const bool complete = waitWithEvents([&] {
        for (const std::atomic<int>& count : received) {
            if (count < expected)
                return false;
        }
        return true;
    });
    const double seconds = timer.nsecsElapsed() / 1e9;
    for (std::thread& viewer : viewers)
        viewer.join();
    server->close();

    std::printf("flood: %lld documents, %.1f MB, %d viewers\n", static_cast<long long>(documents.size()),
                bytes / 1048576.0, kViewers);
    std::printf("queued in %lld ms; all delivered: %s in %.2f s\n", static_cast<long long>(queuedMs),
                complete ? "yes" : "NO", seconds);
    std::printf("documents per second per viewer: %.0f; to all viewers: %.0f\n", documents.size() / seconds,
                documents.size() * kViewers / seconds);
    CVLogHelper::sharedInstance().setDelegate(nullptr);
    return complete ? 0 : 1;
}
