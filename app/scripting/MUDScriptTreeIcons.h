#pragma once

#include <QIcon>

// The images of the script trees and their tab bar, drawn once in code so
// the application ships no image files for them. Main thread.
namespace MUDScriptTreeIcons {
QIcon folder();
QIcon note();
// A square, with a check mark when `checked` (enabled triggers and aliases).
QIcon checkbox(bool checked);
// Tab bar images, by script kind.
QIcon tab(int scriptKind);
}
