#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

#include "app/session/MUDClientCommands.h"
#include "engine/automation/MUDCommandToken.h"

class MUDAlias;
class MUDDocument;
class MUDJavascriptActionSource;

// A session's command path: every line the user types and every command a
// script, trigger, alias or timer issues goes through processCommand(). It
// records typed lines in the history, splits the line at unescaped
// semicolons, offers each command to the connection's keyword aliases and
// to the client commands, and sends the rest. Also the history browsing of
// the input line and its completion words. Main thread.
class MUDCommandPipeline {
public:
    using ActionSource = std::shared_ptr<MUDJavascriptActionSource>;

    // The wait before the rest of a line that an alias took, so the alias's
    // script runs first.
    static constexpr int DeferredRemainderDelayMs = 100;

    explicit MUDCommandPipeline(MUDDocument& document);

    void processCommand(const QString& line, const ActionSource& actionSource);
    void processTokens(const QList<MUDCommandToken>& tokens, const ActionSource& actionSource,
                       quint64 localCommandIndex);
    bool processAliasesForLocalCommand(const QString& command, const ActionSource& actionSource);
    void sendRawCommand(const QString& command, const ActionSource& actionSource);

    void returnKey();
    void upArrow();
    void downArrow();
    void historyItem(qsizetype index);
    // Learned words and alias keywords, sorted, without duplicates.
    QStringList keywords() const;

private:
    void sendAliasText(const MUDAlias& alias, const QString& rest, const ActionSource& aliasSource);
    void showHistoryEntry(qsizetype index);

    MUDDocument& m_document;
    MUDClientCommands m_clientCommands;
    // True after a history menu pick: the entry at the browse position is
    // the one on screen (after Up or Down it is the one before it).
    bool m_historyIndexIsShown = false;
};
