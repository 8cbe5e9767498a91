#pragma once

#include <QString>

// A menu item title that shows `text` as it is: a menu takes "&" as the mark
// of a shortcut letter unless it is doubled. For titles made from the user's
// own text (connection titles, typed commands). Any thread.
QString MUDMenuItemTitle(QString text);
