#include "app/session/MUDAutoLogin.h"

#include <QTimer>
#include <chrono>

#include "app/session/MUDDocument.h"
#include "app/session/MUDScriptBridge.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"

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
        if (connection->password().isEmpty())
            return;
        socket->sendText(QStringLiteral("%1\n").arg(connection->password()));
        m_document.appendLocalText(MUDDocument::coloredString(QStringLiteral("Auto-login password: *********"),
                                                              MUDDocument::localCommandColor()),
                                   false);
        schedule(Step::LoginScript, weakSocket);
        return;
    case Step::LoginScript:
        if (!connection->loginScript().isEmpty())
            m_document.scriptBridge().runLoginScript(connection->loginScript());
        return;
    }
}
