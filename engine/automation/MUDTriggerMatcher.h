#pragma once

#include <QList>
#include <QStringList>
#include <memory>
#include <optional>

#include "core/CVRange.h"
#include "engine/automation/MUDTriggerProcessObject.h"

class CVAttributedString;
class MUDSearchText;
struct MUDGMCPMessage;
class MUDTrigger;

// Where one trigger matches in a stretch of output: text in, matches with
// their captures out. Pure: no queue, no script and no remembered positions
// (the trigger processor keeps those for its passes; the output view's
// match test needs none). Text echoed from the user's input never matches.
// Any thread; the trigger's compiled pattern is cached on the trigger,
// which guards it.
class MUDTriggerMatcher {
public:
    // How far one trigger acts within a search. Pass: a plain-text trigger
    // acts once per search, and "\x" is the rest of the searched text.
    // EveryLine: a plain-text trigger acts at most once per line, a regular
    // expression matches within single lines (so what it finds never
    // depends on how much text a pass held), a match in echoed input is
    // passed over without ending the search, and "\x" is the rest of the
    // match's line.
    enum class Scope { Pass, EveryLine };

    struct Matches {
        // None when the trigger cannot match here: an empty match string, an
        // unknown match type, a pattern that does not compile, a range
        // outside the text, or a regular expression that found nothing.
        std::optional<QList<MUDTriggerProcessObject>> objects;
        // Where the trigger's next pass may begin (an output offset) when
        // this search found something: the end of the searched range for
        // plain text, the end of the last match for a regular expression.
        std::optional<qsizetype> matchedUpTo;
    };

    // Matches in `targetRange` of `text`, which begins at `offset` in the
    // output; result ranges are shifted by `offset`. `search` is `text`
    // prepared once for all triggers of a pass.
    static Matches matchTrigger(const std::shared_ptr<MUDTrigger>& trigger, const CVAttributedString& text,
                                const MUDSearchText& search, CVRange targetRange, qsizetype offset,
                                Scope scope = Scope::Pass);
    // The match test: the whole text, offset 0.
    static std::optional<QList<MUDTriggerProcessObject>> matchTrigger(const std::shared_ptr<MUDTrigger>& trigger,
                                                                      const CVAttributedString& text);

    // A GMCP package trigger on one message: \0 is the package name as
    // sent, \1 the JSON text. None for a trigger of another match type or
    // another package.
    static std::optional<MUDTriggerProcessObject> matchGMCPMessage(const std::shared_ptr<MUDTrigger>& trigger,
                                                                   const MUDGMCPMessage& message);
    // Whether `pattern` names `package` or a package it belongs to, whole
    // parts only and without regard to case: "Char" and "char.vitals"
    // match "Char.Vitals", "Char.Vit" and "Charm" do not.
    static bool packageMatches(QStringView pattern, QStringView package);

    // The literals a search for `triggers` asks its MUDSearchText for, so
    // that one pass can find them all beforehand: plain texts (lower-cased
    // when ignoring case) and what compiled expressions require, each into
    // the list of its case rule.
    static void collectLiterals(const QList<std::shared_ptr<MUDTrigger>>& triggers, QStringList* ignoringCase,
                                QStringList* exact);

    // The first run carrying the user-command attribute, or {NotFound, NotFound}.
    static CVRange attributedStringLoggingRange(const CVAttributedString& text);

private:
    static Matches processPlainTrigger(const std::shared_ptr<MUDTrigger>& trigger, const CVAttributedString& text,
                                       const MUDSearchText& search, CVRange targetRange, qsizetype offset,
                                       Scope scope);
    static Matches processRegexTrigger(const std::shared_ptr<MUDTrigger>& trigger, const CVAttributedString& text,
                                       const MUDSearchText& search, CVRange targetRange, qsizetype offset,
                                       Scope scope);
};
