#pragma once

#include <QByteArrayView>
#include <QString>

// Renders bytes for log lines as lower-case hexadecimal digits, two per
// byte, without separators ("fffb01"). Any thread.
QString hexval(QByteArrayView bytes);
