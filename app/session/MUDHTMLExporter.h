#pragma once

#include <QString>

class MUDOutputModel;

// A session's output as an HTML document: a black page, one pre block per
// font family and one coloured span per stretch of one colour. Inside a pre
// block nothing is added and nothing is lost: a browser shows exactly the
// output's text (carriage returns left out, as when copying it). Characters
// that XML forbids are left out too, so the export always parses and a
// capture file is never lost to one stray control byte. Main thread.
class MUDHTMLExporter {
public:
    static QString xmlStringRepresentation(const MUDOutputModel& output);
    // `text` without the characters XML 1.0 does not allow.
    static QString xmlSafeText(const QString& text);

    // Where the capture of a session titled `title` closed at
    // `secondsSince1970` goes: capture/<title>/<seconds>.log.html under the
    // storage root.
    static QString capturePath(const QString& title, qint64 secondsSince1970);
    // Writes the export of `output` there, creating the folder.
    static bool writeCapture(const MUDOutputModel& output, const QString& title, qint64 secondsSince1970);
};
