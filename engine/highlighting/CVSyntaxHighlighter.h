#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QTextDocument>
#include <QVariant>
#include <unordered_set>

#include "core/CVAttributedString.h"
#include "engine/highlighting/CVPendingShifts.h"
#include "engine/highlighting/CVTokenizerTokenArray.h"

class CVHighlightable;
class CVSyntaxHighlighter;

// Optional observer of a highlighter. Main thread.
class CVSyntaxHighlighterDelegate {
public:
    virtual ~CVSyntaxHighlighterDelegate() = default;
    // After an edit of the watched text was processed.
    virtual void finishedTextStorageDidProcessEditing(CVSyntaxHighlighter*) { }
    // After processText, with the edited range.
    virtual void highlighterFinishedHighlighting(CVSyntaxHighlighter*, CVRange) { }
};

// Keeps typed tokens that tile the whole text of one document, repairs them
// after every edit by re-tokenising only the neighbourhood of the edit
// (widening to the end of the text when a string or comment may now run on),
// and paints them lazily: only ranges asked for, each entry once until it
// changes. Painting goes into the document's temporary layout formatting, so
// the text stays plain. Any inconsistency found during repair is logged and
// healed by a full parse. Subclasses supply the language. Main thread.
class CVSyntaxHighlighter : public QObject {
    Q_OBJECT
public:
    // Texts of this many characters or more are shown plain, in the system font.
    static constexpr qsizetype MaximumLength = 10'000'001;

    // Watches `textStorage` (not owned) from now on.
    explicit CVSyntaxHighlighter(QTextDocument* textStorage);
    ~CVSyntaxHighlighter() override;

    bool isEnabled() const { return m_enabled; }
    // Off paints the whole text in the label colour and stops processing
    // edits; on again re-parses the text, which may have changed meanwhile.
    void setEnabled(bool enabled);
    const QVariant& theme() const { return m_theme; }
    void setTheme(const QVariant& theme);
    bool isDebugEnabled() const { return m_debugEnabled; }
    void setDebugEnabled(bool debugEnabled);
    void setDelegate(CVSyntaxHighlighterDelegate* delegate) { m_delegate = delegate; }

    // Drops every entry and processes the whole text again.
    void invalidateAllSyntax();

    // Entry point on every edit: `editedRange` is the changed text as it now stands.
    void textStorageDidProcessEditing(CVRange editedRange);
    void processText(CVRange editedRange);

    // Paints `range` of the watched text; clearCache repaints entries
    // starting or ending in it even when painted before.
    void highlightRange(CVRange range, bool clearCache);
    // Paints `range` into any target; with useCache entries already painted are skipped.
    void highlightRange(CVRange range, CVHighlightable& highlightable, bool useCache);

    // A coloured copy of `range` of the watched text, painted without the cache.
    CVAttributedString highlightedAttributedStringForRange(CVRange range);
    // Any text, fully tokenised and coloured with `theme`.
    CVAttributedString highlightString(const QString& string, const QVariant& theme) const;

    // The entries with every pending shift written into them.
    const CVTokenizerTokenArray& syntaxHighlightEntries() const;
    bool isRendered(const CVTokenizerTokenPtr& entry) const { return m_rendered.count(entry) > 0; }
    qsizetype renderedCount() const { return qsizetype(m_rendered.size()); }
    CVRange debugDeltaRange() const { return m_debugDeltaRange; }
    QColor debugHighlightColor() const { return m_debugHighlightColor; }
    qsizetype lastStringLength() const { return m_lastStringLength; }
    // The watched text as the highlighter last saw it.
    const QString& string() const { return m_text; }

    // The colour of plain text.
    static QColor labelColor();
    // The font of a text too long to highlight, at the system's size.
    static QFont systemFont();

    // Language hooks.
    virtual QString highlighterTitle() const = 0;
    // Tokens tiling `string` from its start to its end.
    virtual QList<CVTokenizerTokenPtr> parseString(const QString& string) const = 0;
    // Paints one token into the target.
    virtual void highlightParserStringType(const CVTokenizerToken& token, CVHighlightable& highlightable,
                                           const QVariant& theme) const = 0;
    // True when `token`, the last of a re-scanned piece whose text is
    // `targetString`, may run on past the piece, so the re-scan must reach
    // the end of the text.
    virtual bool needsToExpandParserStringType(const CVTokenizerToken& token, QStringView targetString) const = 0;

protected:
    QTextDocument* textStorage() const { return m_textStorage; }

private:
    struct DeltaResult {
        bool extended = false;
        qsizetype processedLength = 0;
        bool requiredFull = false;
    };

    void onContentsChange(int position, int charsRemoved, int charsAdded);
    // Keeps the mirror of the document text current without copying it whole.
    void syncText(int position, int charsRemoved, int charsAdded);
    void fullParse();
    void clearEntries();
    DeltaResult processDeltaHighlight(CVRange editedRange);
    qsizetype entryIndexAtEdit(CVRange editedRange, qsizetype oldLength, qsizetype newLength);
    qsizetype findParserWithRange(CVRange range) const;
    // The first entry that orders equal to `probe`, or NotFound.
    qsizetype firstEntryMatching(CVRange probe, int (*order)(CVRange entry, CVRange probe)) const;
    // Where the entry at `index` lies in the text (its token may lag behind).
    CVRange rangeAt(qsizetype index) const;
    void setRangeAt(qsizetype index, CVRange range);
    // Writes the shifts owed by edits into the entries' tokens.
    void applyPendingShifts() const;
    void updateTextHighlightRanges(qsizetype index, qsizetype change, CVRange editedRange);
    bool processDeltaInRange(CVRange range, qsizetype firstEntryIndex);
    void removeEntries(qsizetype from, qsizetype to);
    // Replaces entries [from, to) with `tokens`.
    void replaceEntries(qsizetype from, qsizetype to, const QList<CVTokenizerTokenPtr>& tokens);
    bool isTilingAround(qsizetype from, qsizetype to) const;
    void logRescanError(const QString& description, const QString& domain, CVRange targetRange, CVRange editedRange,
                        int errorCode);
    void forgetRenderedRange(CVRange range);
    void highlightStringTypes(qsizetype first, qsizetype last, CVHighlightable& highlightable, CVRange targetRange,
                              bool useCache);
    void paintPlain(CVRange range, CVHighlightable& highlightable) const;

    QPointer<QTextDocument> m_textStorage;
    bool m_enabled = true;
    bool m_debugEnabled = false;
    // True while the text is too long to highlight; it is then painted plain.
    bool m_oversized = false;
    CVTokenizerTokenArray m_entries;
    // Shifts from recent edits not yet written into m_entries' tokens
    // (mutable: handing the entries out writes them).
    mutable CVPendingShifts m_shifts;
    std::unordered_set<CVTokenizerTokenPtr> m_rendered;
    QString m_text;
    bool m_textValid = false;
    qsizetype m_lastStringLength = 0;
    QString m_lastString;
    CVRange m_debugDeltaRange{CVRange::NotFound, CVRange::NotFound};
    QColor m_debugHighlightColor;
    QVariant m_theme;
    CVSyntaxHighlighterDelegate* m_delegate = nullptr;
};
