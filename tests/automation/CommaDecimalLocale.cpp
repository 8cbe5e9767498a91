#include "CommaDecimalLocale.h"

#include <QFile>
#include <QStandardPaths>
#include <clocale>
#include <string_view>

#include "ChildProgram.h"

namespace {
const char kLocaleName[] = "decimalcomma";
}

CommaDecimalLocale::CommaDecimalLocale()
{
    QFile source(m_folder.filePath(QStringLiteral("source")));
    if (!source.open(QIODevice::WriteOnly)) {
        m_errorText = QStringLiteral("cannot write the locale source");
        return;
    }
    source.write("LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n");
    source.close();

    // -c: the other categories are missing on purpose.
    ChildProgram localedef;
    const QString output = m_folder.filePath(QString::fromLatin1(kLocaleName));
    if (!localedef.start(QStandardPaths::findExecutable(QStringLiteral("localedef")),
                         {QStringLiteral("-c"), QStringLiteral("-i"), source.fileName(), QStringLiteral("-f"),
                          QStringLiteral("ANSI_X3.4-1968"), output}) ||
        !localedef.waitForFinished(30000)) {
        m_errorText = QStringLiteral("localedef did not run: ") + localedef.errorText();
        return;
    }
    qputenv("LOCPATH", m_folder.path().toLocal8Bit());
    if (!std::setlocale(LC_NUMERIC, kLocaleName)) {
        m_errorText =
            QStringLiteral("the compiled locale was refused: ") + QString::fromLocal8Bit(localedef.readOutput());
        return;
    }
    m_active = std::localeconv()->decimal_point == std::string_view(",");
    if (!m_active)
        m_errorText = QStringLiteral("the decimal mark is still not a comma");
}

CommaDecimalLocale::~CommaDecimalLocale()
{
    std::setlocale(LC_NUMERIC, "C");
    qunsetenv("LOCPATH");
}
