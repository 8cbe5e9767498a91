#pragma once

#include "engine/highlighting/CVSyntaxHighlighter.h"

// Colours JavaScript (trigger and alias actions, login scripts) with the
// JSONMetadataTokenizer: keywords, declared variables, function names,
// strings, comments and numbers; everything else in the label colour.
// Main thread.
class JSONHighlighter : public CVSyntaxHighlighter {
    Q_OBJECT
public:
    using CVSyntaxHighlighter::CVSyntaxHighlighter;

    // The foreground colour a token type is painted with.
    static QColor colorForType(int type);

    QString highlighterTitle() const override { return QStringLiteral("JSON"); }
    QList<CVTokenizerTokenPtr> parseString(const QString& string) const override;
    void highlightParserStringType(const CVTokenizerToken& token, CVHighlightable& highlightable,
                                   const QVariant& theme) const override;
    bool needsToExpandParserStringType(const CVTokenizerToken& token, QStringView targetString) const override;
};
