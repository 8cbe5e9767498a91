#pragma once

#include <QMap>
#include <QRectF>
#include <QString>
#include <optional>

class MUDConnection;

// The "state.json" of a connection: where the session window and its
// messages and exits windows were, as rectangle strings "{{x, y}, {w, h}}"
// keyed "windowFrame", "messagesWindowFrame" and "exitsWindowFrame".
// Main thread.
class MUDWindowState {
public:
    using Frames = QMap<QString, QRectF>;

    static QString rectToString(const QRectF& rect);
    // None for text that is not a rectangle string.
    static std::optional<QRectF> rectFromString(const QString& text);

    // Written atomically; false (with a log line) when it cannot be.
    static bool write(const QString& path, const Frames& frames);
    // The frames of the file; a missing or unreadable file gives none, and a
    // value that is not a rectangle is left out.
    static Frames read(const QString& path);

    // The state file of `connection`: "state.json" in its folder; empty
    // when it has no folder.
    static QString pathForConnection(const MUDConnection& connection);
    // Writes `frames` to the connection's state file, creating its folder;
    // without a "windowFrame" that one is the zero rectangle.
    static void saveForConnection(const MUDConnection& connection, Frames frames);
    // The frames saved for `connection`; none when there is no state file.
    static std::optional<Frames> readForConnection(const MUDConnection& connection);
};
