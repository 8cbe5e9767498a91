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

    // The font of session output and input: the family and size the
    // player chose (MUDUserSettings) where they are usable, else the first
    // preferred family at the desktop's size plus 5 points. An unusable
    // choice falls back with a log line.
    static QFont outputFont();
    static qreal defaultOutputFontSize() { return systemFontSize() + 5; }
    // Installed and fixed-pitch: the families offered for output.
    static bool isMonospacedFamily(const QString& family);
};
