#include "app/views/MUDMenuItemTitle.h"

QString MUDMenuItemTitle(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}
