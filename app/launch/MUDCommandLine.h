#pragma once

#include <QString>
#include <QStringList>

// What `quarrow` was asked on its command line: help, the version, another
// data folder, and what to open (stored connection titles or telnet://
// addresses, resolved later by MUDLaunchTarget). Parsing needs no display.
// Main thread.
class MUDCommandLine {
public:
    // `arguments` as the program received them, the program name first.
    // Needs no application object.
    static MUDCommandLine parse(const QStringList& arguments);
    // Whether `arguments` ask only for text on standard output (help or
    // version): then no window system is needed.
    static bool wantsTextOnly(const QStringList& arguments);

    bool isValid() const { return m_errorText.isEmpty(); }
    // Why the command line was refused (an unknown option, a missing value).
    QString errorText() const { return m_errorText; }
    bool showsHelp() const { return m_showsHelp; }
    bool showsVersion() const { return m_showsVersion; }
    // Empty unless --data-dir was given.
    QString dataDirectory() const { return m_dataDirectory; }
    // The positional arguments, in order.
    QStringList targets() const { return m_targets; }

    // The --help text (its usage line names the running program), and the
    // --version line ("quarrow" and the application's version). Both need
    // the application object.
    static QString helpText();
    static QString versionText();

private:
    QString m_errorText;
    bool m_showsHelp = false;
    bool m_showsVersion = false;
    QString m_dataDirectory;
    QStringList m_targets;
};
