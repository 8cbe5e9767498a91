#include "app/launch/MUDCommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

const QString DataDirOption = QStringLiteral("data-dir");

// The parser with every option of the program; help and version are plain
// options so that asking for them never ends the process from inside Qt.
struct Options {
    Options()
    {
        // Qt prints the description as it is: the lines are broken here.
        parser.setApplicationDescription(QCoreApplication::translate(
            "MUDCommandLine", "Quarrow, a client for text games (MUDs) played over telnet.\n"
                              "Opens each TARGET in a session window: the title of a stored connection,\n"
                              "or an address telnet://host[:port] (port 23 when left out), which is\n"
                              "stored only when you choose Session > Save Connection\u2026 in its window.\n"
                              "When Quarrow already runs with the same data folder, the running one\n"
                              "opens them."));
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(dataDir);
        parser.addPositionalArgument(
            QStringLiteral("TARGET"),
            QCoreApplication::translate("MUDCommandLine", "A stored connection's title or a telnet:// address."),
            QStringLiteral("[TARGET...]"));
    }

    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QCoreApplication::translate("MUDCommandLine", "Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QCoreApplication::translate("MUDCommandLine", "Show the version and exit.")};
    QCommandLineOption dataDir{DataDirOption,
                               QCoreApplication::translate("MUDCommandLine",
                                                           "Keep connections, scripts and logs in DIR instead of "
                                                           "~/.local/share/Quarrow; wins over $QUARROW_DATA_DIR."),
                               QStringLiteral("DIR")};
};

} // namespace

MUDCommandLine MUDCommandLine::parse(const QStringList& arguments)
{
    Options options;
    MUDCommandLine result;
    const bool parsed = options.parser.parse(arguments);
    // Help and version win over any other mistake on the line.
    result.m_showsHelp = options.parser.isSet(options.help);
    result.m_showsVersion = !result.m_showsHelp && options.parser.isSet(options.version);
    if (!parsed && !result.m_showsHelp && !result.m_showsVersion) {
        result.m_errorText = options.parser.errorText();
        return result;
    }
    const QStringList dataDirectories = options.parser.values(options.dataDir);
    if (!dataDirectories.isEmpty())
        result.m_dataDirectory = dataDirectories.constLast();
    if (options.parser.isSet(options.dataDir) && result.m_dataDirectory.isEmpty() && !result.m_showsHelp &&
        !result.m_showsVersion) {
        result.m_errorText =
            QCoreApplication::translate("MUDCommandLine", "The data folder given to --%1 is empty.").arg(DataDirOption);
        return result;
    }
    result.m_targets = options.parser.positionalArguments();
    return result;
}

bool MUDCommandLine::wantsTextOnly(const QStringList& arguments)
{
    const MUDCommandLine commandLine = parse(arguments);
    return commandLine.showsHelp() || commandLine.showsVersion();
}

QString MUDCommandLine::helpText()
{
    return Options().parser.helpText();
}

QString MUDCommandLine::versionText()
{
    return QStringLiteral("quarrow %1").arg(QCoreApplication::applicationVersion());
}
