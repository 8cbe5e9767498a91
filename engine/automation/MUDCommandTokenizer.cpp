#include "engine/automation/MUDCommandTokenizer.h"

#include "core/CVLogHelper.h"
#include "core/CVStringHelpers.h"
#include "core/CVWhitespaceTokenizer.h"
#include "engine/automation/MUDAlias.h"

MUDCommandTokenizer::MUDCommandTokenizer(const QString& stringToSplit, const MUDAliasList& aliases,
                                         char semicolonEscapeCharacter)
    : m_stringToSplit(stringToSplit)
    , m_aliases(aliases)
    , m_semicolonEscapeCharacter(semicolonEscapeCharacter)
{
}

QList<MUDCommandToken> MUDCommandTokenizer::allTokens() const
{
    QList<MUDCommandToken> tokens;
    ExpansionBudget budget{m_stringToSplit};
    expandInto(tokens, 0, budget);
    return tokens;
}

void MUDCommandTokenizer::expandInto(QList<MUDCommandToken>& tokens, int depth, ExpansionBudget& budget) const
{
    enumerateTokens([&](const MUDCommandToken& token, bool&) {
        bool didProcessAny = false;
        const QString expanded = processAliases(token.commandForToken(), &didProcessAny);
        if (!didProcessAny) {
            tokens.append(token);
            return;
        }
        if (depth >= kMaxAliasDepth || budget.expansions >= kMaxAliasExpansions) {
            if (!budget.logged) {
                CVLog(QStringLiteral("MUDCommandTokenizer - alias expansion of \"%1\" stopped after %2 levels or %3 "
                                     "expansions")
                          .arg(budget.line)
                          .arg(kMaxAliasDepth)
                          .arg(kMaxAliasExpansions));
                budget.logged = true;
            }
            tokens.append(token);
            return;
        }
        ++budget.expansions;
        MUDCommandTokenizer(expanded, m_aliases, m_semicolonEscapeCharacter).expandInto(tokens, depth + 1, budget);
    });
}

void MUDCommandTokenizer::enumerateTokens(const TokenBlock& block) const
{
    enumerateTokens(block, 0, m_stringToSplit.size());
}

void MUDCommandTokenizer::enumerateTokens(const TokenBlock& block, qsizetype location, qsizetype length) const
{
    const QString& line = m_stringToSplit;
    const qsizetype start = std::clamp<qsizetype>(location, 0, line.size());
    const qsizetype end = std::clamp<qsizetype>(start + std::max<qsizetype>(length, 0), start, line.size());
    bool stop = false;
    if (line.isEmpty()) {
        block(MUDCommandToken(QStringLiteral("")), stop);
        return;
    }
    const QChar escape = QChar::fromLatin1(m_semicolonEscapeCharacter);
    qsizetype pieceStart = start;
    if (m_semicolonEscapeCharacter != 0) {
        enumerateCharacters(
            line,
            [&](QChar previous, QChar current, QChar, qsizetype index, bool& stopWalk) {
                if (current != u';' || previous == escape)
                    return;
                block(MUDCommandToken(tokenText(line.mid(pieceStart, index + 1 - pieceStart))), stop);
                pieceStart = index + 1;
                stopWalk = stop;
            },
            false, start, end - start);
    }
    if (!stop)
        block(MUDCommandToken(tokenText(line.mid(pieceStart, end - pieceStart))), stop);
}

QString MUDCommandTokenizer::tokenText(const QString& piece) const
{
    const QString escapeSuffix = m_semicolonEscapeCharacter == 0
                                     ? QString()
                                     : QString(QChar::fromLatin1(m_semicolonEscapeCharacter)) + QLatin1Char(';');
    QString text = piece;
    if (text.endsWith(QLatin1Char(';')) && (escapeSuffix.isEmpty() || !text.endsWith(escapeSuffix)))
        text.chop(1);
    if (!escapeSuffix.isEmpty())
        text.replace(escapeSuffix, QStringLiteral(";"));
    return text.isNull() ? QStringLiteral("") : text;
}

QString MUDCommandTokenizer::processAliases(const QString& command, bool* didProcessAny) const
{
    if (didProcessAny)
        *didProcessAny = false;
    if (m_aliases.isEmpty())
        return command;
    QString result;
    qsizetype previousEnd = 0;
    CVWhitespaceTokenizer words(command, false, true);
    words.enumerateTokens([&](const CVTokenizerTokenPtr& word, bool&) {
        const CVRange range = word->range();
        const QString chunk = command.mid(previousEnd, range.end() - previousEnd);
        previousEnd = range.end();
        if (result.isEmpty()) {
            const QString lowered = command.mid(range.location, range.length).toLower();
            for (const auto& alias : m_aliases) {
                if (alias && alias->matchString() == lowered) {
                    if (didProcessAny)
                        *didProcessAny = true;
                    result += chunk.left(chunk.size() - range.length);
                    result += alias->command();
                    return;
                }
            }
        }
        result += chunk;
    });
    return result;
}
