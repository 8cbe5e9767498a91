#pragma once

#include <QFont>
#include <QStringList>

// The monospaced font of sessions, messages and editors. Main thread.
class MUDFontHelper {
public:
    // The families tried in order: the preferred faces, then DejaVu Sans
    // Mono (it reports itself fixed-pitch, unlike the default mono alias).
    static QStringList preferredFamilies();

    // A fixed-pitch font at `pointSize`: the first installed of
    // preferredFamilies(), else the desktop's fixed-width font. Chosen once
    // per size.
    static QFont monospacedFontOfSize(qreal pointSize);
    // The same choice among `families`.
    static QFont monospacedFontOfSize(qreal pointSize, const QStringList& families);
    // The desktop's standard text size in points.
    static qreal systemFontSize();
};
