#pragma once

#include <QString>
#include <memory>

#include "core/CVRange.h"

class CVTokenizerToken;
using CVTokenizerTokenPtr = std::shared_ptr<CVTokenizerToken>;

// A piece of scanned text: its range and an integer type whose meaning the
// producing tokenizer defines. Tokens are shared objects: holders such as the
// syntax highlighter move a token by setting its range in place. A bare token
// also serves as a probe for binary searches by position. Not thread-safe;
// used by one thread at a time.
class CVTokenizerToken {
public:
    CVTokenizerToken() = default;
    explicit CVTokenizerToken(CVRange range, int type = 0)
        : m_range(range)
        , m_type(type)
    {
    }
    virtual ~CVTokenizerToken() = default;

    CVRange range() const { return m_range; }
    void setRange(CVRange range) { m_range = range; }
    int type() const { return m_type; }
    void setType(int type) { m_type = type; }

    // An independent token with the same range and type (and subclass state).
    virtual CVTokenizerTokenPtr copy() const { return std::make_shared<CVTokenizerToken>(*this); }
    virtual QString description() const;

private:
    CVRange m_range;
    int m_type = 0;
};
