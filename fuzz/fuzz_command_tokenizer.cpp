// Splits arbitrary lines with arbitrary aliases. The first bytes choose the
// escape character and alias set; the tokenizer must end (bounded
// expansion) and rejoining the tokens of an alias-free split must give back
// the line without its separators.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/CVLogHelper.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDCommandTokenizer.h"
#include "tests/support/doubles/NullLogDelegate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static NullLogDelegate quiet;
    CVLogHelper::sharedInstance().setDelegate(&quiet);
    if (size < 2)
        return 0;
    const char escape = (data[0] & 1) ? '\\' : static_cast<char>(data[0] >> 1);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
    // Text before the first newline is the line; each later line "word=command" is an alias.
    const QStringList parts = text.split(QLatin1Char('\n'));
    MUDAliasList aliases;
    for (qsizetype i = 1; i < parts.size() && i <= (data[1] & 7); ++i) {
        auto alias = std::make_shared<MUDAlias>();
        const qsizetype equals = parts[i].indexOf(QLatin1Char('='));
        alias->setMatchString(parts[i].left(equals < 0 ? 0 : equals));
        alias->setCommand(parts[i].mid(equals + 1));
        aliases.append(alias);
    }
    const QString line = parts[0];
    const QList<MUDCommandToken> expanded = MUDCommandTokenizer(line, aliases, escape).allTokens();
    if (expanded.isEmpty())
        abort();

    const QList<MUDCommandToken> plain = MUDCommandTokenizer(line, {}, escape).allTokens();
    if (plain.isEmpty() || (line.isEmpty() && plain.size() != 1))
        abort();
    if (escape == 0 && plain.size() != 1)
        abort();
    qsizetype characters = 0;
    for (const MUDCommandToken& token : plain)
        characters += token.commandForToken().size();
    if (characters > line.size())
        abort();
    return 0;
}
