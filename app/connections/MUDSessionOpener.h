#pragma once

#include <memory>

class MUDConnection;
class QWidget;

// What the connections window needs of the application to open a session;
// the shell's document controller provides it. Main thread.
class MUDSessionOpener {
public:
    virtual ~MUDSessionOpener() = default;

    // Opens a new session window for `connection`, shows it and connects;
    // returns the window.
    virtual QWidget* openSessionForConnection(std::shared_ptr<MUDConnection> connection) = 0;
};
