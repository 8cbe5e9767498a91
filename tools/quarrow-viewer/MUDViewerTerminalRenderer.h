#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Turns the JSON documents a session's proxy server sends into text for a
// terminal: output runs with their 16 colours and flags as ANSI escape
// sequences, script messages as marked lines. Control characters in the
// session's text (other than line breaks and tabs) are dropped, so the
// session can never drive the viewer's terminal. Pure; any thread.
class MUDViewerTerminalRenderer {
public:
    // The terminal bytes for one document; empty (with `error` set) for a
    // document that is not a JSON object with an "action".
    static QByteArray render(const QString& document, QString* error);

    // The SGR sequence for a run's "fg", "bg" and "flags" (reset first).
    static QByteArray styleSequence(const QJsonObject& entry);
    static QString printable(const QString& text);
};
