#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "ChildProgram.h"

namespace {

constexpr int ProgramWaitMs = 30000;

// A terminal without any display: no X, no Wayland, no platform chosen.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

struct ProgramRun {
    int exitCode = -1;
    QString output;
};

ProgramRun run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    ChildProgram child;
    ProgramRun result;
    if (!child.start(program, arguments, environment)) {
        ADD_FAILURE() << child.errorText().toStdString();
        return result;
    }
    if (!child.waitForFinished(ProgramWaitMs)) {
        ADD_FAILURE() << program.toStdString() << " did not end";
        return result;
    }
    result.exitCode = child.exitedNormally() ? child.exitCode() : -1;
    result.output = QString::fromLocal8Bit(child.readOutput());
    return result;
}

} // namespace

TEST(Programs, HelpAndVersionWorkWithoutADisplay)
{
    for (const QString& program : {QStringLiteral(QUARROW_PROGRAM), QStringLiteral(QUARROW_VIEWER_PROGRAM)}) {
        const ProgramRun help = run(program, {"--help"}, withoutDisplay());
        EXPECT_EQ(help.exitCode, 0) << help.output.toStdString();
        EXPECT_TRUE(help.output.contains("Usage:")) << help.output.toStdString();
        EXPECT_TRUE(help.output.contains("--version"));
        const ProgramRun version = run(program, {"--version"}, withoutDisplay());
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_TRUE(version.output.endsWith(QStringLiteral(" " QUARROW_PROJECT_VERSION "\n")))
            << version.output.toStdString();
    }
    EXPECT_TRUE(run(QStringLiteral(QUARROW_PROGRAM), {"--help"}, withoutDisplay()).output.contains("--data-dir"));
    EXPECT_TRUE(run(QStringLiteral(QUARROW_VIEWER_PROGRAM), {"-h"}, withoutDisplay()).output.contains("PORT"));
}

TEST(Programs, UnknownOptionsAndBadPortsEndWithAUsageError)
{
    QProcessEnvironment offscreen = QProcessEnvironment::systemEnvironment();
    offscreen.insert("QT_QPA_PLATFORM", "offscreen");
    offscreen.remove("DBUS_SESSION_BUS_ADDRESS");
    const ProgramRun unknown = run(QStringLiteral(QUARROW_PROGRAM), {"--no-such-option"}, offscreen);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.output.contains("Unknown option 'no-such-option'")) << unknown.output.toStdString();
    EXPECT_TRUE(unknown.output.contains("quarrow --help"));

    for (const QStringList& arguments : {QStringList{}, QStringList{"0"}, QStringList{"65536"}, QStringList{"port"},
                                         QStringList{"4000", "4001"}, QStringList{"--bogus"}}) {
        const ProgramRun viewer = run(QStringLiteral(QUARROW_VIEWER_PROGRAM), arguments, offscreen);
        EXPECT_EQ(viewer.exitCode, 2) << arguments.join(' ').toStdString() << ": " << viewer.output.toStdString();
        EXPECT_TRUE(viewer.output.contains("quarrow-viewer")) << viewer.output.toStdString();
    }
}
