#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

class MUDLiteralSet;

// A text prepared once for many literal searches, as a trigger pass makes:
// a copy with ASCII letters lower-cased and the positions of every non-ASCII
// character. The text itself is referenced, not copied, and must outlive
// this object. Offsets count UTF-16 code units. Immutable after
// construction; used by one thread at a time.
class MUDSearchText {
public:
    // Literals the searches will ask for, found in one pass when the text is
    // prepared: `ignoringCase` (lower-case) in the lower-cased copy, `exact`
    // in the text. Searches for other literals scan the text as usual.
    struct Literals {
        std::shared_ptr<const MUDLiteralSet> ignoringCase;
        std::shared_ptr<const MUDLiteralSet> exact;
    };

    explicit MUDSearchText(const QString& text, const Literals& literals = {});
    ~MUDSearchText();
    MUDSearchText(const MUDSearchText&) = delete;
    MUDSearchText& operator=(const MUDSearchText&) = delete;

    const QString& text() const { return m_text; }

    // The first position in [from, to) at or after which `literal` may occur
    // inside [from, to), or -1 when it surely does not. Exact for a
    // case-sensitive search. Ignoring case, `literal` must be lower-case
    // ASCII: an occurrence over ASCII text is found exactly, and a non-ASCII
    // character (which may fold to ASCII, as the Kelvin sign or a ligature
    // does) is returned as a possible place, at or after the occurrence's
    // start on the same line.
    qsizetype find(QStringView literal, bool caseInsensitive, qsizetype from, qsizetype to) const;

    // The start of the line holding `position`: just after the last line
    // feed before it, or 0.
    qsizetype lineStart(qsizetype position) const;

    // True when [from, to) holds only ASCII characters.
    bool isAscii(qsizetype from, qsizetype to) const;

private:
    // Occurrences of the literals of one set, found when the text was prepared.
    struct Found {
        std::shared_ptr<const MUDLiteralSet> set;
        std::vector<std::vector<qsizetype>> starts;
    };
    static Found findAll(const std::shared_ptr<const MUDLiteralSet>& set, const QString& text);
    // The first occurrence of `literal` in [from, to) by `found`, -1 when it
    // has none there, or none when `found` does not know the literal.
    static std::optional<qsizetype> lookUp(const Found& found, QStringView literal, qsizetype from, qsizetype to);
    qsizetype firstNonAscii(qsizetype from) const;

    const QString& m_text;
    QString m_folded;
    std::vector<qsizetype> m_nonAscii;
    Found m_foldedFound;
    Found m_exactFound;
};
