#pragma once

#include <QString>
#include <memory>

class MUDDocument;
class MUDSocket;

// The auto-login chain of a fresh connection: the user name, then the
// password, then the login script, each LoginStepDelay after the one
// before. A step runs only when the one before it ran, so the script runs
// only with both credentials; the chain ends with the socket it started on
// or with the session. A password kept in the system keyring is fetched on
// a worker when its step comes, so a slow keyring never holds the window.
// Main thread (the keyring worker reports back there).
class MUDAutoLogin {
public:
    static constexpr double LoginStepDelay = 0.5;

    explicit MUDAutoLogin(MUDDocument& document);

    // Schedules the first step for `socket`, which has just connected.
    void start(MUDSocket& socket);

private:
    enum class Step { User, Password, LoginScript };

    void schedule(Step step, std::weak_ptr<MUDSocket> socket);
    void run(Step step, const std::weak_ptr<MUDSocket>& weakSocket);
    void fetchPasswordFromKeyring(const std::weak_ptr<MUDSocket>& weakSocket);
    void sendPassword(const QString& password, const std::weak_ptr<MUDSocket>& weakSocket);

    MUDDocument& m_document;
    // Expires with this object: a keyring answer after that is dropped.
    const std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
