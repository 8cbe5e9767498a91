#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Decides, from a script's code alone, whether running it can leave a trace
// that a later script in the same JavaScript context could see. A script that
// may reach the global object, a built-in prototype or constructor, or change
// any object through a member, is refused: it runs in a context of its own.
// A script that passes can change nothing shared except global names it
// assigns as plain identifiers; those are listed so the caller can put them
// back after the run. The scan reads characters, not tokens: a word inside a
// string or comment counts as code, so it can refuse too much but never too
// little. Pure function; any thread.
class MUDJavascriptReuseCheck {
public:
    // The global names `code` may assign (possibly with some that are
    // local), or nothing when the script must not share a context.
    static std::optional<QStringList> assignedGlobalNames(const QString& code);
};
