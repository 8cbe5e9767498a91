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
// to the client commands, and sends the rest. It keeps the history (newest
// first) with its browse position, and counts the lines processed so that
// #stop can drop what earlier lines left waiting. Also the input line's
// completion words. While the session is in password mode, a typed (or a
// viewer's) line is a password and takes none of these paths. Main thread.
class MUDCommandPipeline {
public:
    using ActionSource = std::shared_ptr<MUDJavascriptActionSource>;

    // The wait before the rest of a line that an alias took, so the alias's
    // script runs first.
    static constexpr int DeferredRemainderDelayMs = 100;

    explicit MUDCommandPipeline(MUDDocument& document);

    void processCommand(const QString& line, const ActionSource& actionSource);
    // A line a viewer of the shared session sent, run as if typed.
    void processViewerCommand(const QString& line);
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

    const QStringList& historyCommands() const { return m_historyCommands; }
    qsizetype historyIndex() const { return m_historyIndex; }
    // Lines processed so far: scripts and passes carry it, so that #stop
    // can drop what earlier lines left waiting.
    quint64 commandIndex() const { return m_commandIndex; }

private:
    void sendPassword(QString password);
    void sendAliasText(const MUDAlias& alias, const QString& rest, const ActionSource& aliasSource);
    void showHistoryEntry(qsizetype index);
    // #stop: what the lines so far left waiting (commands after an alias,
    // scripts) is dropped.
    void stop();

    MUDDocument& m_document;
    MUDClientCommands m_clientCommands;
    QStringList m_historyCommands;
    qsizetype m_historyIndex = 0;
    quint64 m_commandIndex = 0;
    // The count #stop recorded: commands waiting from lines before it are dropped.
    quint64 m_stopCommandIndex = 0;
    // True after a history menu pick: the entry at the browse position is
    // the one on screen (after Up or Down it is the one before it).
    bool m_historyIndexIsShown = false;
};
