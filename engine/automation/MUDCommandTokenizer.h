#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "engine/automation/MUDCommandToken.h"
#include "engine/automation/MUDScriptLists.h"

// Splits a line into commands at semicolons that do not follow the escape
// character, and expands word aliases: a command whose first word (lowered)
// equals an alias's match string has that word replaced by the alias's
// command, and the result is split and expanded again. Expansion is bounded
// (depth and total count), so an alias that expands to itself ends with a
// log line. One thread at a time.
class MUDCommandTokenizer {
public:
    using TokenBlock = std::function<void(const MUDCommandToken& token, bool& stop)>;

    static constexpr int kMaxAliasDepth = 16;
    static constexpr int kMaxAliasExpansions = 1000;

    // An escape character of 0 means semicolons never split.
    MUDCommandTokenizer(const QString& stringToSplit, const MUDAliasList& aliases, char semicolonEscapeCharacter);

    // The commands of the line, in order, after alias expansion.
    QList<MUDCommandToken> allTokens() const;

    // The commands of the line (or of a range of it), without alias expansion.
    void enumerateTokens(const TokenBlock& block) const;
    void enumerateTokens(const TokenBlock& block, qsizetype location, qsizetype length) const;

    // One command after word-alias expansion; `didProcessAny` says whether
    // an alias was applied.
    QString processAliases(const QString& command, bool* didProcessAny) const;

    QString stringToSplit() const { return m_stringToSplit; }
    char semicolonEscapeCharacter() const { return m_semicolonEscapeCharacter; }
    MUDAliasList aliases() const { return m_aliases; }

private:
    struct ExpansionBudget {
        QString line;
        int expansions = 0;
        bool logged = false;
    };

    void expandInto(QList<MUDCommandToken>& tokens, int depth, ExpansionBudget& budget) const;
    QString tokenText(const QString& piece) const;

    QString m_stringToSplit;
    MUDAliasList m_aliases;
    char m_semicolonEscapeCharacter;
};
