#include "app/session/MUDClientCommands.h"

#include <QCollator>
#include <QFile>

#include "app/session/MUDCommandTimers.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDScriptBridge.h"
#include "app/session/MUDSessionGMCP.h"
#include "app/session/MUDSessionTelnet.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDScriptSeconds.h"
#include "engine/automation/MUDTimer.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/decoding/MUDKeywordProcessor.h"
#include "engine/storage/MUDConnectionLists.h"
#include "engine/storage/MUDPreservation.h"

// The start-up art is a resource of this static library: registered explicitly.
static void initializeStartupArt()
{
    Q_INIT_RESOURCE(quarrow);
}

namespace {

void sortLocalized(QStringList& list)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(list.begin(), list.end(),
                     [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
}

// The text after the first word, with the command's words split on single
// spaces (two spaces give an empty word).
QStringList argumentWords(const QString& command)
{
    QStringList words = command.split(u' ');
    words.removeFirst();
    return words;
}

}

MUDClientCommands::MUDClientCommands(MUDDocument& document)
    : m_document(document)
{
}

void MUDClientCommands::append(const QString& text, bool requiresNewline)
{
    m_document.appendLocalText(MUDDocument::coloredString(text, MUDDocument::localCommandColor()), requiresNewline);
}

void MUDClientCommands::echo(const QString& command)
{
    append(QStringLiteral("%1\r\n").arg(command), false);
}

MUDClientCommands::Outcome MUDClientCommands::process(const QString& command, const ActionSource& actionSource)
{
    auto anyCase = [&command](QStringView word) { return command.compare(word, Qt::CaseInsensitive) == 0; };

    if (command == u"#stop") {
        echo(command);
        return Outcome::Stops;
    }
    if (anyCase(u"#clearMessages")) {
        echo(command);
        m_document.clearMessages();
        return Outcome::EndsLine;
    }
    if (command == u"#continue")
        return Outcome::EndsLine;
    if (anyCase(u"#testStartup")) {
        testStartup();
        return Outcome::EndsLine;
    }
    if (anyCase(u"#testColors")) {
        testColors();
        return Outcome::EndsLine;
    }
    if (command == u"#beep") {
        echo(command);
        if (MUDDesktopIntegration* desktop = m_document.desktop())
            desktop->beep();
        return Outcome::EndsLine;
    }
    if (anyCase(u"#clearOutput")) {
        m_document.clearOutput();
        echo(command);
        return Outcome::EndsLine;
    }
    if (command == u"#vars") {
        append(variablesListing(), true);
        return Outcome::Continue;
    }
    if (command == u"#autocomplete") {
        append(autocompleteListing(), false);
        return Outcome::Continue;
    }
    if (command == u"#telnet") {
        append(telnetListing(), true);
        return Outcome::Continue;
    }
    if (command == u"#alias" || command == u"#aliases") {
        append(aliasesListing(), true);
        return Outcome::Continue;
    }
    if (command.startsWith(u"#clearTimer") || command.startsWith(u"#stopTimer") ||
        command.startsWith(u"#cancelTimer")) {
        clearTimer(command, actionSource);
        return Outcome::Continue;
    }
    if (command.startsWith(u"#setTimer")) {
        setTimer(command, actionSource);
        return Outcome::Continue;
    }
    if (command.startsWith(u"#setAlias")) {
        setAlias(command);
        return Outcome::Continue;
    }
    if (command == u"#captureOutput") {
        append(QStringLiteral("\r\nCapture output enabled\r\n"), true);
        m_document.setCaptureOutput(true);
        return Outcome::Continue;
    }
    if (command == u"#disconnect") {
        append(command, true);
        if (MUDSocket* socket = m_document.mudSocket())
            socket->disconnect();
        return Outcome::Continue;
    }
    if (command == u"#close") {
        append(command, true);
        m_document.requestClose();
        return Outcome::EndsLine;
    }
    if (command.startsWith(u"#set")) {
        setVariable(command);
        return Outcome::Continue;
    }
    return Outcome::NotHandled;
}

QString MUDClientCommands::variablesListing() const
{
    const QVariantMap variables = m_document.javascriptProcessor()->variables();
    QStringList keys = variables.keys();
    sortLocalized(keys);
    QString text = QStringLiteral("#vars\r\nVariables:\r\n");
    for (const QString& key : keys) {
        const QVariant value = variables.value(key);
        text += QStringLiteral("%1 = %2\r\n").arg(key, value.isValid() ? value.toString() : QStringLiteral("<nil>"));
    }
    return text;
}

QString MUDClientCommands::autocompleteListing() const
{
    QStringList entries;
    if (MUDKeywordProcessor* keywords = m_document.keywordProcessor())
        entries = keywords->hostKeywords();
    sortLocalized(entries);
    QString text = QStringLiteral("\r\n#autocomplete\r\nEntries:\r\n");
    for (qsizetype row = 0; row < entries.size(); row += 4) {
        const qsizetype end = std::min(row + 4, entries.size());
        for (qsizetype i = row; i < end; ++i)
            text += (i - row == 3) ? entries[i] : entries[i].leftJustified(20, u' ', true);
        text += QStringLiteral("\r\n");
    }
    return text;
}

QString MUDClientCommands::telnetListing() const
{
    QString text = QStringLiteral("#telnet\r\nTelnet options:\r\n");
    for (const QString& line : m_document.telnet().stateLines())
        text += line + QStringLiteral("\r\n");
    if (m_document.telnet().isNegotiating())
        text += m_document.gmcp().packagesLine() + QStringLiteral("\r\n");
    return text;
}

QString MUDClientCommands::aliasesListing() const
{
    MUDAliasList aliases;
    if (const std::shared_ptr<MUDConnection> connection = m_document.connection())
        aliases = MUDConnectionLists::aliases(*connection).value_or(MUDAliasList());
    std::stable_sort(aliases.begin(), aliases.end(),
                     [](const auto& a, const auto& b) { return a->matchString() < b->matchString(); });
    qsizetype width = 5;
    for (const std::shared_ptr<MUDAlias>& alias : aliases)
        width = std::max(width, alias->matchString().size());
    QString text = QStringLiteral("\r\nAliases:\r\n");
    for (const std::shared_ptr<MUDAlias>& alias : aliases)
        text += QStringLiteral("%1     %2\r\n").arg(alias->matchString().leftJustified(width), alias->command());
    return text;
}

void MUDClientCommands::clearTimer(const QString& command, const ActionSource& actionSource)
{
    const QString name = argumentWords(command).join(u' ').toLower();
    if (m_document.timers().clear(name)) {
        append(QStringLiteral("\r\nTimer %1 has been cleared.\r\n").arg(name), true);
    } else {
        append(QStringLiteral("\r\nTimer %1 is not set.\r\n").arg(name), true);
    }
    m_document.sendRawCommand(command, actionSource);
}

void MUDClientCommands::setTimer(const QString& command, const ActionSource& actionSource)
{
    QStringList words = argumentWords(command);
    if (words.size() <= 2) {
        append(QStringLiteral("\r\nFormat: #setTimer <timerName> <timeOut> <repeats(optional)> <commands>\r\n"), true);
        return;
    }
    const QString name = words.takeFirst().toLower();
    const double timeOut = double(float(MUDScriptSeconds::fromText(words.takeFirst())));
    bool repeat = false;
    if (!words.isEmpty() && (words.first().toLower() == u"repeat" || words.first().toLower() == u"repeats")) {
        repeat = true;
        words.removeFirst();
    }
    if (repeat && timeOut < MUDTimer::MinimumRepeatInterval) {
        append(QStringLiteral("\r\nTimer %1 is not set: a repeating timer needs at least %2 seconds between "
                              "firings.\r\n")
                   .arg(name)
                   .arg(MUDTimer::MinimumRepeatInterval),
               true);
        return;
    }
    const QString timerCommand = words.join(u' ');
    m_document.timers().set(name, timeOut, timerCommand, repeat);
    m_document.sendRawCommand(command, actionSource);
}

void MUDClientCommands::setAlias(const QString& command)
{
    const QString argument = command.mid(QStringLiteral("#setAlias").size()).trimmed();
    const qsizetype equals = argument.indexOf(u'=');
    if (equals < 0) {
        append(QStringLiteral("\r\nFormat: #setAlias <alias>=<command>\r\n"), true);
        return;
    }
    const QString keyword = argument.left(equals).trimmed();
    const QString aliasCommand = argument.mid(equals + 1).trimmed();
    // An unsaved connection has nowhere to keep the alias: say so rather than report it set.
    if (!m_document.scriptBridge().saveAlias(keyword, aliasCommand)) {
        append(QStringLiteral("\r\nAlias: %1 was not set: this connection is not saved (Session > Save "
                              "Connection\u2026)\r\n")
                   .arg(keyword),
               true);
        return;
    }
    append(QStringLiteral("\r\nAlias: %1 has been set to %2\r\n").arg(keyword, aliasCommand), true);
}

void MUDClientCommands::setVariable(const QString& command)
{
    const QString argument = command.mid(QStringLiteral("#set").size());
    const qsizetype equals = argument.indexOf(u'=');
    if (equals < 0) {
        append(QStringLiteral("\r\nFormat: #set VARIABLE=VALUE\r\n"), true);
        return;
    }
    const QString name = argument.left(equals).trimmed();
    const QString value = argument.mid(equals + 1).trimmed();
    m_document.javascriptProcessor()->setVariable(name, value);
    append(QStringLiteral("\r\nVariable: %1 has been set to %2\r\n").arg(name, value), true);
}

void MUDClientCommands::testStartup()
{
    initializeStartupArt();
    QFile file(QStringLiteral(":/appIcon.ans"));
    if (!file.open(QIODevice::ReadOnly)) {
        CVLog(QStringLiteral("MUDClientCommands:testStartup - The start-up art is missing."));
        return;
    }
    m_document.processDataLocally(QStringLiteral("\r\n%1").arg(QString::fromUtf8(file.readAll())).toUtf8());
}

void MUDClientCommands::testColors()
{
    m_document.processDataLocally(QByteArrayView("\x1b[5m\x1b[31mhello world\x1b[0m\r\n"));
}
