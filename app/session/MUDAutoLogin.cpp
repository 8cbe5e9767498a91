#include "app/session/MUDAutoLogin.h"

#include <QTimer>
#include <chrono>
#include <thread>

#include "app/session/MUDDocument.h"
#include "app/session/MUDScriptBridge.h"
#include "core/CVMainThread.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/storage/MUDConnectionKeyring.h"

MUDAutoLogin::MUDAutoLogin(MUDDocument& document)
    : m_document(document)
{
}

void MUDAutoLogin::start(MUDSocket& socket)
{
    schedule(Step::User, socket.weak_from_this());
}

void MUDAutoLogin::schedule(Step step, std::weak_ptr<MUDSocket> socket)
{
    // The session owns this object: its timers end with it.
    QTimer::singleShot(std::chrono::milliseconds(qint64(LoginStepDelay * 1000)), &m_document,
                       [this, step, socket = std::move(socket)] { run(step, socket); });
}

void MUDAutoLogin::run(Step step, const std::weak_ptr<MUDSocket>& weakSocket)
{
    const std::shared_ptr<MUDSocket> socket = weakSocket.lock();
    if (!socket || m_document.isClosed())
        return;
    const std::shared_ptr<MUDConnection> connection = socket->connection();
    switch (step) {
    case Step::User: {
        if (connection->user().isEmpty())
            return;
        const QString sent = QStringLiteral("%1\n").arg(connection->user());
        socket->sendText(sent);
        m_document.appendLocalText(MUDDocument::coloredString(QStringLiteral("Auto-login user: %1").arg(sent),
                                                              MUDDocument::localCommandColor()),
                                   false);
        schedule(Step::Password, weakSocket);
        return;
    }
    case Step::Password:
        if (connection->passwordInKeyring())
            fetchPasswordFromKeyring(weakSocket);
        else
            sendPassword(connection->password(), weakSocket);
        return;
    case Step::LoginScript:
        if (!connection->loginScript().isEmpty())
            m_document.scriptBridge().runLoginScript(connection->loginScript());
        return;
    }
}

void MUDAutoLogin::fetchPasswordFromKeyring(const std::weak_ptr<MUDSocket>& weakSocket)
{
    const std::shared_ptr<MUDSocket> socket = weakSocket.lock();
    std::thread([this, alive = std::weak_ptr<bool>(m_alive), weakSocket, record = *socket->connection()]() mutable {
        QString error;
        const bool fetched = MUDConnectionKeyring::fetchPassword(record, &error);
        fc_executeOnMainThread([this, alive, weakSocket, fetched, password = record.password(), error] {
            if (alive.expired() || m_document.isClosed())
                return;
            if (fetched) {
                sendPassword(password, weakSocket);
                return;
            }
            m_document.appendLocalText(
                MUDDocument::coloredString(
                    QStringLiteral("Auto-login password: not read from the system keyring (%1)").arg(error),
                    MUDDocument::localCommandColor()),
                true);
        });
    }).detach();
}

void MUDAutoLogin::sendPassword(const QString& password, const std::weak_ptr<MUDSocket>& weakSocket)
{
    const std::shared_ptr<MUDSocket> socket = weakSocket.lock();
    if (!socket || password.isEmpty())
        return;
    socket->sendText(QStringLiteral("%1\n").arg(password));
    m_document.appendLocalText(
        MUDDocument::coloredString(QStringLiteral("Auto-login password: *********"), MUDDocument::localCommandColor()),
        false);
    schedule(Step::LoginScript, weakSocket);
}
