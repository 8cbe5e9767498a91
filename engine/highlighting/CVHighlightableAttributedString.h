#pragma once

#include "core/CVAttributedString.h"
#include "engine/highlighting/CVHighlightable.h"

// Paints into an attributed string, which then carries the colours itself
// (for copies of highlighted text). The string is referenced, not owned, and
// must outlive this target. Any single thread.
class CVHighlightableAttributedString : public CVHighlightable {
public:
    explicit CVHighlightableAttributedString(CVAttributedString& internalString)
        : m_internalString(internalString)
    {
    }

    void beginEditing() override { }
    void endEditing() override { }
    qsizetype length() const override { return m_internalString.length(); }
    void addAttribute(int attribute, const QVariant& value, CVRange range) override
    {
        m_internalString.addAttribute(attribute, value, range);
    }
    void removeAttribute(int attribute, CVRange range) override { m_internalString.removeAttribute(attribute, range); }
    QString substringWithRange(CVRange range) const override
    {
        return m_internalString.string().mid(range.location, range.length);
    }

private:
    CVAttributedString& m_internalString;
};
