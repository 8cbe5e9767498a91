#include "app/shell/MUDLogHelperDelegate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "core/CVLogFileSink.h"
#include "core/CVLogHelper.h"

namespace {
void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QString logFileText(const MUDLogHelperDelegate& delegate)
{
    QFile file(delegate.fileLogger().filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Makes `delegate` the log helper's delegate while it lives.
struct InstalledDelegate {
    explicit InstalledDelegate(MUDLogHelperDelegate& delegate) { CVLogHelper::sharedInstance().setDelegate(&delegate); }
    ~InstalledDelegate() { CVLogHelper::sharedInstance().setDelegate(nullptr); }
};
}

TEST(MUDLogHelperDelegate, LoginsAreLoggedAsEventsWithTheirOutcome)
{
    QTemporaryDir dir;
    MUDLogHelperDelegate delegate(dir.path());
    InstalledDelegate installed(delegate);
    CVLogHelper::sharedInstance().logLogin(QStringLiteral("wizard"), true,
                                           {{QStringLiteral("world"), QStringLiteral("Limbo")}});
    CVLogHelper::sharedInstance().logLogin(QStringLiteral("guest"), false);
    const QString text = logFileText(delegate);
    const QString app =
        QStringLiteral(R"("appName":"%1","appVersion":"9.8.7")").arg(QCoreApplication::applicationName());
    EXPECT_TRUE(text.contains(QStringLiteral(R"( Event Login-wizard {%1,"success":true,"world":"Limbo"})").arg(app)))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(R"( Event Login-guest {%1,"success":false})").arg(app)))
        << text.toStdString();
}

TEST(MUDLogHelperDelegate, CrashDetailsAreStoredRemovedByANullValueAndNeedAKey)
{
    QTemporaryDir dir;
    MUDLogHelperDelegate delegate(dir.path());
    InstalledDelegate installed(delegate);
    CVLogHelper& log = CVLogHelper::sharedInstance();
    log.setCrashDetails(QStringLiteral("Limbo"), QStringLiteral("connection"));
    log.setCrashDetails(QStringLiteral("3"), QStringLiteral("sessions"));
    log.setCrashDetails(QStringLiteral("4"), QStringLiteral("sessions"));
    log.setCrashDetails(QString(), QStringLiteral("connection"));
    log.setCrashDetails(QStringLiteral("lost"), QString());
    log.setCrashDetails(QStringLiteral(""), QStringLiteral("empty but set"));
    const QMap<QString, QString> expected{{QStringLiteral("sessions"), QStringLiteral("4")},
                                          {QStringLiteral("empty but set"), QString()}};
    EXPECT_EQ(delegate.crashDetails(), expected);
    const QString text = logFileText(delegate);
    EXPECT_TRUE(text.contains(QStringLiteral("Crash detail: sessions = 4")));
    EXPECT_TRUE(text.contains(QStringLiteral("Crash detail removed: connection")));
    EXPECT_TRUE(text.contains(QStringLiteral("A crash detail needs a key. Ignored.")));
}

TEST(MUDLogHelperDelegate, CrashDetailsTakeWritersFromManyThreads)
{
    QTemporaryDir dir;
    MUDLogHelperDelegate delegate(dir.path());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&delegate, t] {
            for (int i = 0; i < 200; ++i) {
                delegate.setCrashDetails(QString::number(i), QStringLiteral("thread %1").arg(t));
                delegate.setCrashDetails(QString(), QStringLiteral("shared"));
                delegate.setCrashDetails(QStringLiteral("x"), QStringLiteral("shared"));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const QMap<QString, QString> details = delegate.crashDetails();
    EXPECT_EQ(details.size(), 5);
    EXPECT_EQ(details.value(QStringLiteral("thread 3")), QStringLiteral("199"));
    EXPECT_EQ(details.value(QStringLiteral("shared")), QStringLiteral("x"));
}

TEST(MUDLogHelperDelegate, LogContentJoinsTheFilesOldestFirstAndKeepsTheEnd)
{
    QTemporaryDir dir;
    // Today's log, whose first part was moved aside at the size limit.
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    writeFile(dir.filePath(QStringLiteral("quarrow.log.1")), now + QStringLiteral(" the very first line\n"));
    writeFile(dir.filePath(QStringLiteral("quarrow.log")), now + QStringLiteral(" the second part\n"));
    MUDLogHelperDelegate delegate(dir.path());
    delegate.logMessageType(CVLogHelper::MessageType, QStringLiteral("caf\u00e9 \U0001F600 last line"));

    const QString tail = delegate.getLogFilesContentWithMaxSize(19);
    EXPECT_EQ(tail, QStringLiteral(" caf\u00e9 \U0001F600 last line\n"));
    EXPECT_EQ(tail.size(), 19);
    // A cut through the emoji keeps neither half of it.
    EXPECT_EQ(delegate.getLogFilesContentWithMaxSize(12), QStringLiteral(" last line\n"));

    const QString everything = delegate.getLogFilesContentWithMaxSize(1000000);
    EXPECT_TRUE(everything.startsWith(now + QStringLiteral(" the very first line\n") + now +
                                      QStringLiteral(" the second part\n")))
        << everything.toStdString();
    EXPECT_TRUE(everything.endsWith(QStringLiteral(" caf\u00e9 \U0001F600 last line\n")));
    EXPECT_EQ(delegate.getLogFilesContentWithMaxSize(everything.size() - 1), everything.mid(1));
    EXPECT_TRUE(delegate.getLogFilesContentWithMaxSize(0).isEmpty());
}
