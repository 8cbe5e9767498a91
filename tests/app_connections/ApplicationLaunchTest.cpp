#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ChildProgram.h"
#include "ConnectionsTestSupport.h"

// The real program starts, shows its windows and quits by itself, without a
// display and without reaching past the loopback interface (its data folder
// holds one local connection, so no default is copied and probed).
class ApplicationLaunch : public DataFolderTest { };

TEST_F(ApplicationLaunch, StartsAndQuitsCleanly)
{
    storeConnection("Local", "127.0.0.1", 1, "LOCAL");
    ChildProgram program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QUARROW_DATA_DIR", dataFolder());
    environment.insert("QUARROW_QUIT_AFTER_MS", "1000");
    ASSERT_TRUE(program.start(QStringLiteral(QUARROW_PROGRAM), {}, environment)) << program.errorText().toStdString();
    ASSERT_TRUE(program.waitForFinished(30000)) << "the program did not quit";
    EXPECT_TRUE(program.exitedNormally());
    EXPECT_EQ(program.exitCode(), 0) << program.readOutput().toStdString();

    QFile log(dataFolder() + "/logs/quarrow.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    EXPECT_TRUE(lines.contains("CustomDocumentController:setCanOpenUntitledDocument:... true"));
    EXPECT_EQ(storedTitles(), QStringList{"Local"}) << "defaults are copied only into an empty data folder";
}
