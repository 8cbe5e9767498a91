#include "core/CVTokenizer.h"

QList<CVTokenizerTokenPtr> CVTokenizer::allTokens()
{
    QList<CVTokenizerTokenPtr> tokens;
    enumerateTokens([&tokens](const CVTokenizerTokenPtr& token, bool&) { tokens.append(token); });
    return tokens;
}
