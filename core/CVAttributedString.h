#pragma once

#include <QString>
#include <QStringView>
#include <QTextCharFormat>
#include <QVariant>
#include <functional>
#include <span>
#include <vector>

#include "core/CVFormatId.h"
#include "core/CVRange.h"

// Text plus attribute runs. The text is UTF-16 and every index and range
// counts UTF-16 code units. Attributes are stored per run, not per
// character: each run holds a QTextCharFormat (colours, font, underline,
// anchor and user properties), adjacent runs never hold equal formats, and
// runs of equal formats share one format object when built by append.
// A run appended with a format id keeps it while its format is unchanged,
// so appending and merging compare ids instead of formats where they can.
// A plain value used from one thread at a time.
class CVAttributedString {
public:
    using RunBlock = std::function<void(const QTextCharFormat& attributes, CVRange range, bool& stop)>;
    using ValueBlock = std::function<void(const QVariant& value, CVRange range, bool& stop)>;

    CVAttributedString() = default;
    explicit CVAttributedString(const QString& string, const QTextCharFormat& attributes = {});

    const QString& string() const { return m_string; }
    qsizetype length() const { return m_string.size(); }
    bool isEmpty() const { return m_string.isEmpty(); }
    int runCount() const { return int(m_runs.size()); }

    // One stretch of text to append with its format; `id`, when valid,
    // must identify `attributes` (see CVFormatId).
    struct Piece {
        qsizetype length;
        const QTextCharFormat* attributes;
        CVFormatId id;
    };

    void append(QStringView text, const QTextCharFormat& attributes, CVFormatId id = {});
    // Appends `text` cut into `pieces` (their lengths add up to its size):
    // the same result as appending piece by piece, with one text copy.
    void append(QStringView text, std::span<const Piece> pieces);
    void append(const CVAttributedString& other);

    // Calls `block(range, attributes, id)` for each run in order; the id is
    // invalid for runs whose format was not appended with one.
    template<typename Block> void forEachRun(Block&& block) const
    {
        for (size_t run = 0; run < m_runs.size(); ++run)
            block(CVRange{m_runs[run].start, runEnd(run) - m_runs[run].start}, m_runs[run].attributes, m_runs[run].id);
    }

    // The attributes at `index` and, when asked, the whole run around it.
    // Out of range: empty attributes and an empty range.
    QTextCharFormat attributesAtIndex(qsizetype index, CVRange* effectiveRange = nullptr) const;

    // Calls `block` for each run within `range` (clipped to it), in order,
    // until it sets stop.
    void enumerateAttributes(CVRange range, const RunBlock& block) const;
    // Calls `block` for each stretch within `range` over which the property
    // `propertyId` keeps one value (an invalid QVariant where it is absent).
    void enumerateAttribute(int propertyId, CVRange range, const ValueBlock& block) const;

    // Replaces every attribute over `range`.
    void setAttributes(const QTextCharFormat& attributes, CVRange range);
    // Merges `attributes` into those over `range` (their properties win).
    void addAttributes(const QTextCharFormat& attributes, CVRange range);
    void addAttribute(int propertyId, const QVariant& value, CVRange range);
    void removeAttribute(int propertyId, CVRange range);

    // Plain text takes the attributes of the first replaced character, or
    // for an empty range those of the character before it (else after it).
    void replaceCharacters(CVRange range, const QString& text);
    void replaceCharacters(CVRange range, const CVAttributedString& replacement);

    // Where plain text replacing the (clipped) `range` takes its attributes
    // from: the first replaced character, or for an empty range the one
    // before it (else the one after it). Shared with the output model.
    static qsizetype replacementAttributesIndex(CVRange range);

    CVAttributedString substring(CVRange range) const;

    bool operator==(const CVAttributedString& other) const;

private:
    struct Run {
        qsizetype start;
        QTextCharFormat attributes;
        CVFormatId id;

        Run(qsizetype runStart, const QTextCharFormat& runAttributes, CVFormatId runId = {})
            : start(runStart)
            , attributes(runAttributes)
            , id(runId)
        {
        }
        // QTextFormat has no move constructor; swapping keeps vector growth
        // from copying (and reference counting) every format.
        Run(Run&& other) noexcept
            : start(other.start)
            , id(other.id)
        {
            attributes.swap(other.attributes);
        }
        Run& operator=(Run&& other) noexcept
        {
            start = other.start;
            id = other.id;
            attributes.swap(other.attributes);
            return *this;
        }
        Run(const Run&) = default;
        Run& operator=(const Run&) = default;
    };

    static bool sameFormat(const Run& a, const Run& b);
    // Starts a run at `start` unless the last run has the same format.
    void continueRuns(qsizetype start, const QTextCharFormat& attributes, CVFormatId id);

    CVRange clipped(CVRange range) const;
    qsizetype runEnd(size_t run) const;
    size_t runIndexAt(qsizetype index) const;
    // Makes a run boundary at `index` and returns the index of the run
    // starting there (m_runs.size() when index is the end).
    size_t splitAt(qsizetype index);
    // Joins equal neighbours among runs [first, last].
    void mergeRuns(size_t first, size_t last);
    void modifyRuns(CVRange range, const std::function<void(QTextCharFormat&)>& change);

    QString m_string;
    std::vector<Run> m_runs;
};
