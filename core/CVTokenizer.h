#pragma once

#include <QList>
#include <functional>

#include "core/CVRange.h"
#include "core/CVTokenizerToken.h"

// Base of the tokenizers: a subclass enumerates its tokens in text order and
// hands each to a callback, which may set `stop` to end the enumeration.
// A tokenizer is used by one thread at a time.
class CVTokenizer {
public:
    using TokenCallback = std::function<void(const CVTokenizerTokenPtr& token, bool& stop)>;

    virtual ~CVTokenizer() = default;

    // Enumerates the tokens of the whole text.
    virtual void enumerateTokens(const TokenCallback& callback) = 0;
    // Enumerates the tokens found in `range` of the text.
    virtual void enumerateTokens(const TokenCallback& callback, CVRange range) = 0;

    // Every token of the whole-text enumeration, in order.
    virtual QList<CVTokenizerTokenPtr> allTokens();

protected:
    CVTokenizer() = default;
};
