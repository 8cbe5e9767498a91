#pragma once

class MUDConnection;
class MUDSessionWindow;

// A session opened from a telnet:// address runs on an unsaved connection:
// one without a title, so storage has no folder for it and writes nothing
// for it (no connection file, window state, scripts or picture).
// "Save Connection…" opens the connection editor filled in with it; the
// editor's save, with its usual checks, is the only write, and the session
// then goes on under the stored record. Main thread.
namespace MUDUnsavedSession {

bool isUnsaved(const MUDConnection& connection);
// Whether `window`'s session runs on an unsaved connection.
bool isUnsaved(MUDSessionWindow& window);
// The editor as a sheet over `window`; nothing happens for a stored connection.
void saveConnection(MUDSessionWindow& window);

} // namespace MUDUnsavedSession
