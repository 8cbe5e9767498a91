#include "app/session/MUDCommandPipeline.h"

#include <algorithm>

#include <QCollator>
#include <QTimer>

#include "app/session/MUDDocument.h"
#include "app/session/MUDScriptBridge.h"
#include "app/session/MUDSpeaker.h"
#include "app/views/MUDCommandInput.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDCommandTokenizer.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptError.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDRegularExpression.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/decoding/MUDKeywordProcessor.h"
#include "engine/storage/MUDConnectionLists.h"

namespace {

QString trimmed(const QString& text)
{
    return text.trimmed();
}

bool containsWhiteSpace(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

}

MUDCommandPipeline::MUDCommandPipeline(MUDDocument& document)
    : m_document(document)
    , m_clientCommands(document)
{
}

void MUDCommandPipeline::processCommand(const QString& line, const ActionSource& actionSource)
{
    if (!line.isEmpty() && !actionSource && (m_historyCommands.isEmpty() || m_historyCommands.first() != line))
        m_historyCommands.prepend(line);

    const MUDCommandTokenizer tokenizer(line, {}, '\\');
    processTokens(tokenizer.allTokens(), actionSource, m_commandIndex);

    if (!actionSource)
        m_document.scrollToEnd(true);
    ++m_commandIndex;
}

// The line enters the history as if typed, but the player may be browsing
// the history meanwhile: their place stays on the entry they were shown,
// which the new entry in front moves back by one.
void MUDCommandPipeline::processViewerCommand(const QString& line)
{
    if (m_document.isPasswordMode()) {
        sendPassword(line);
        return;
    }
    const qsizetype historySize = m_historyCommands.size();
    processCommand(line, nullptr);
    if (m_historyIndex > 0 && m_historyCommands.size() > historySize)
        ++m_historyIndex;
    if (!m_historyCommands.isEmpty())
        m_document.setHistoryButtonEnabled(true);
}

void MUDCommandPipeline::stop()
{
    m_stopCommandIndex = m_commandIndex;
    m_document.javascriptProcessor()->setStopIndex(m_commandIndex);
}

void MUDCommandPipeline::processTokens(const QList<MUDCommandToken>& tokens, const ActionSource& actionSource,
                                       quint64 localCommandIndex)
{
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString command = tokens[i].commandForToken();
        if (processAliasesForLocalCommand(command, actionSource)) {
            const QList<MUDCommandToken> remainder = tokens.mid(i + 1);
            if (remainder.isEmpty())
                return;
            QTimer::singleShot(
                DeferredRemainderDelayMs, &m_document, [this, remainder, actionSource, localCommandIndex] {
                    if (localCommandIndex >= m_stopCommandIndex) {
                        processTokens(remainder, actionSource, localCommandIndex);
                        return;
                    }
                    CVLog(QStringLiteral("Received a #stop (%1 < %2).").arg(localCommandIndex).arg(m_stopCommandIndex));
                });
            return;
        }
        switch (m_clientCommands.process(command, actionSource)) {
        case MUDClientCommands::Outcome::EndsLine: return;
        case MUDClientCommands::Outcome::Stops: stop(); return;
        case MUDClientCommands::Outcome::Continue: continue;
        case MUDClientCommands::Outcome::NotHandled: sendRawCommand(command, actionSource); continue;
        }
    }
}

bool MUDCommandPipeline::processAliasesForLocalCommand(const QString& command, const ActionSource& actionSource)
{
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    if (!connection)
        return false;
    bool processedAny = false;
    const MUDAliasList aliases = MUDConnectionLists::aliases(*connection).value_or(MUDAliasList());
    for (const std::shared_ptr<MUDAlias>& alias : aliases) {
        if (alias->disabled() || alias->matchType() != 0 || alias->matchString().isEmpty())
            continue;
        const QString pattern = alias->matchString().startsWith(u'^')
                                    ? alias->matchString()
                                    : QStringLiteral("^%1( |$)").arg(alias->matchString());
        const std::shared_ptr<MUDRegularExpression> expression =
            MUDRegularExpression::compile(pattern, MUDRegularExpression::CaseInsensitive);
        if (!expression)
            continue;
        const QList<MUDRegularExpressionMatch> matches = expression->matchesInString(command, {0, command.size()});
        if (matches.isEmpty() || matches.first().range().location != 0)
            continue;
        const MUDRegularExpressionMatch& match = matches.first();

        if (actionSource && actionSource->hasAlreadyProcessedAlias(alias)) {
            CVLog(QStringLiteral("Skipping alias for %1 as it has already been processed.").arg(alias->title()));
            if (containsWhiteSpace(command) && actionSource->parentActionSource()) {
                MUDJavascriptError error;
                error.scriptName = actionSource->rootActionSource()->actionName();
                error.errorMessage = QStringLiteral("Skipping alias %1 as it has already been processed. Raw command "
                                                    "`%2` will be sent instead.")
                                         .arg(alias->title(), command);
                m_document.scriptBridge().javascriptProcessorHasError(m_document.javascriptProcessor().get(), error);
            }
            continue;
        }

        MUDScriptParameters parameters;
        for (qsizetype group = 0; group < match.groups.size(); ++group) {
            const CVRange range = match.groups[group];
            parameters.insert(QStringLiteral("\\%1").arg(group), range.isNotFound()
                                                                     ? QStringLiteral("<null>")
                                                                     : command.mid(range.location, range.length));
        }
        if (match.range().end() < command.size())
            parameters.insert(QStringLiteral("\\x"), command.mid(match.range().end()));

        auto source = std::make_shared<MUDJavascriptActionSource>(actionSource);
        source->setActionName(QStringLiteral("Alias: %1").arg(alias->title()));
        source->setTargetObject(alias);
        source->addProcessedAlias(alias);
        if (alias->sendsCommandText())
            sendAliasText(*alias, command.mid(match.range().end()), source);
        else
            m_document.scriptBridge().runInBackground(alias->action(), source, parameters);
        processedAny = true;
    }
    return processedAny;
}

// The keyword is replaced by the alias's text and the rest of the command
// follows it ("k orc" with k=kill sends "kill orc"). The text goes on as an
// alias command: echoed as one, and under the alias's own source, so an
// alias whose text starts with its keyword is not expanded again.
void MUDCommandPipeline::sendAliasText(const MUDAlias& alias, const QString& rest, const ActionSource& aliasSource)
{
    const QString text = rest.isEmpty() ? alias.command() : QStringLiteral("%1 %2").arg(alias.command(), rest);
    m_document.scriptBridge().javascriptProcessorRequestsCommand(m_document.javascriptProcessor().get(), text,
                                                                 aliasSource);
}

void MUDCommandPipeline::sendRawCommand(const QString& command, const ActionSource& actionSource)
{
    const QString text = QStringLiteral("%1\n").arg(trimmed(command));
    m_document.javascriptProcessor()->setVariable(QStringLiteral("lastCommand"), text);
    if (MUDSocket* socket = m_document.mudSocket())
        socket->sendText(text);
    if (!actionSource) {
        m_document.appendLocalText(MUDDocument::coloredString(text, MUDDocument::localCommandColor()), true);
        MUDSpeaker::sharedInstance().ownCommand(text);
    }
}

// A password goes to the server exactly as typed (spaces and semicolons are
// part of it; only line breaks are not) and nowhere else: no alias or
// client command sees it, so no script, echo, history or variable holds it.
void MUDCommandPipeline::sendPassword(QString password)
{
    password.remove(u'\r');
    password.remove(u'\n');
    if (MUDSocket* socket = m_document.mudSocket())
        socket->sendText(password + u'\n');
}

void MUDCommandPipeline::returnKey()
{
    MUDCommandInput* input = m_document.commandInput();
    if (!m_document.isConnected()) {
        m_document.connectToServer();
        return;
    }
    if (m_document.isPasswordMode()) {
        // Nothing of a password stays behind, on screen or in the input.
        if (input) {
            sendPassword(input->text());
            input->setText(QString());
        }
        return;
    }
    QString text = input ? trimmed(input->text()) : QString();
    text.remove(u'\r');
    text.replace(u'\n', u' ');
    processCommand(text, nullptr);
    // Only a line sent from the input line selects it, so the next keystroke
    // replaces it; lines from viewers never touch what the player is typing.
    if (input)
        input->selectAll();
    m_historyIndex = 0;
    m_historyIndexIsShown = false;
    m_document.setHistoryButtonEnabled(!m_historyCommands.isEmpty());
}

void MUDCommandPipeline::showHistoryEntry(qsizetype index)
{
    MUDCommandInput* input = m_document.commandInput();
    if (!input)
        return;
    input->setText(m_historyCommands.at(index));
    input->selectAll();
}

void MUDCommandPipeline::upArrow()
{
    if (m_historyIndex >= m_historyCommands.size())
        return;
    showHistoryEntry(m_historyIndex);
    ++m_historyIndex;
    m_historyIndexIsShown = false;
}

// Up leaves the browse position one past the entry it showed, a history
// menu pick on the entry itself; Down shows the entry newer than the one on
// screen either way, and past the newest an empty line. The position ends
// one past what is shown, so a following Up shows the next older entry.
void MUDCommandPipeline::downArrow()
{
    if (m_historyCommands.isEmpty() || m_historyIndex == 0)
        return;
    const qsizetype shown =
        std::min(m_historyIndexIsShown ? m_historyIndex : m_historyIndex - 1, m_historyCommands.size());
    m_historyIndexIsShown = false;
    if (shown == 0) {
        m_historyIndex = 0;
        if (MUDCommandInput* input = m_document.commandInput())
            input->setText(QString());
        return;
    }
    showHistoryEntry(shown - 1);
    m_historyIndex = shown;
}

void MUDCommandPipeline::historyItem(qsizetype index)
{
    if (index < 0 || index >= m_historyCommands.size())
        return;
    m_historyIndex = index;
    showHistoryEntry(index);
    m_historyIndexIsShown = true;
}

QStringList MUDCommandPipeline::keywords() const
{
    QStringList words;
    if (MUDKeywordProcessor* keywords = m_document.keywordProcessor())
        words = keywords->hostKeywords();
    if (const std::shared_ptr<MUDConnection> connection = m_document.connection()) {
        for (const std::shared_ptr<MUDAlias>& alias : MUDConnectionLists::aliases(*connection).value_or(MUDAliasList()))
            words.append(alias->matchString());
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(words.begin(), words.end(),
                     [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    words.removeDuplicates();
    return words;
}
