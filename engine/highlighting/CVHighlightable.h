#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

#include "core/CVRange.h"

// A target the syntax highlighter paints into: an attributed string, or the
// temporary formatting of a text document's layout. Attributes are
// QTextFormat property ids (QTextFormat::ForegroundBrush, ...). Painting
// happens between beginEditing and endEditing. Main thread.
class CVHighlightable {
public:
    virtual ~CVHighlightable() = default;

    virtual void beginEditing() = 0;
    virtual void endEditing() = 0;
    virtual qsizetype length() const = 0;
    virtual void addAttribute(int attribute, const QVariant& value, CVRange range) = 0;
    // Several attributes over one range, as one change (a layout's
    // temporary formatting holds them in one format).
    virtual void addAttributes(const QMap<int, QVariant>& attributes, CVRange range)
    {
        for (auto attribute = attributes.cbegin(); attribute != attributes.cend(); ++attribute)
            addAttribute(attribute.key(), attribute.value(), range);
    }
    virtual void removeAttribute(int attribute, CVRange range) = 0;
    virtual QString substringWithRange(CVRange range) const = 0;
};
