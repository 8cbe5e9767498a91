#pragma once

// The three kinds of script a connection keeps, in the order of every tab
// of the script manager. Also the entry type of the script trees.
namespace MUDScriptKind {
constexpr int Notes = 0;
constexpr int Aliases = 1;
constexpr int Triggers = 2;

constexpr bool isValid(int kind)
{
    return kind >= Notes && kind <= Triggers;
}
}
