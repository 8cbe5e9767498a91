#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "ChildProgram.h"

// A real TinyMUX game server for end-to-end tests: a fresh game installed in
// a temporary folder with an empty database (room Limbo, player Wizard with
// password "potrzebie"), listening on 127.0.0.1 only, with ANSI on for new
// players. Started and stopped by the test itself. Main thread.
class TinyMuxServer {
public:
    static constexpr const char* WizardName = "wizard";
    static constexpr const char* WizardPassword = "potrzebie";

    TinyMuxServer() = default;
    ~TinyMuxServer();
    TinyMuxServer(const TinyMuxServer&) = delete;
    TinyMuxServer& operator=(const TinyMuxServer&) = delete;

    // Whether the Debian package is installed.
    static bool isInstalled();

    // Installs, configures and starts the server and waits (bounded) until it
    // accepts connections. On failure returns false with the reason.
    bool start(QString* error);
    // SIGTERM, then a bounded wait, then SIGKILL.
    void stop();

    quint16 port() const { return m_port; }
    QString gameFolder() const;

private:
    bool install(QString* error);
    bool configure(QString* error);
    bool waitUntilAccepting(int timeoutMs);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ChildProgram> m_process;
    quint16 m_port = 0;
};
