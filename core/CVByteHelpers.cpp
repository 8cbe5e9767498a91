#include "core/CVByteHelpers.h"

#include <QByteArray>

QString hexval(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex());
}
