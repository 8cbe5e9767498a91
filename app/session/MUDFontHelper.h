#pragma once

#include <QFont>

// The monospaced font of sessions, messages and editors. Main thread.
class MUDFontHelper {
public:
    // A fixed-pitch font at `pointSize`; DejaVu Sans Mono where installed
    // (it reports itself fixed-pitch, unlike the default mono alias).
    static QFont monospacedFontOfSize(qreal pointSize);
    // The desktop's standard text size in points.
    static qreal systemFontSize();
};
