#pragma once

#include <QString>

class MUDOutputModel;

// A session's output as an HTML document: a black page, one pre block per
// font family and one coloured span per run, pretty-printed. Characters that
// XML forbids are left out, so the export always parses and a capture file
// is never lost to one stray control byte. Main thread.
class MUDHTMLExporter {
public:
    static QString xmlStringRepresentation(const MUDOutputModel& output);
    // `text` without the characters XML 1.0 does not allow.
    static QString xmlSafeText(const QString& text);
};
