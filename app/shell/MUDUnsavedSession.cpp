#include "app/shell/MUDUnsavedSession.h"

#include <QPointer>

#include "app/connections/MUDConnectionsWindowController.h"
#include "app/connections/MUDEditConnectionWindowController.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {

// The session goes on under the record storage now holds, and the window
// shows its title (keeping a badge prefix the desktop put before the name).
void adoptStored(MUDSessionWindow& window, const QString& connectionId)
{
    CVError error;
    std::shared_ptr<MUDConnection> stored = MUDPreservation::loadConnectionById(connectionId, &error);
    if (!stored) {
        CVLog(QStringLiteral("MUDUnsavedSession - saved connection not found: %1").arg(error.description));
        return;
    }
    MUDDocument& document = window.document();
    const QString oldName = document.displayName();
    document.adoptStoredConnection(std::move(stored));
    QString title = window.windowTitle();
    if (title.endsWith(oldName))
        title.chop(oldName.size());
    window.setWindowTitle(title + document.displayName());
    MUDNotificationCenter::defaultCenter().postNotification(
        MUDConnectionsWindowController::connectionsChangedNotificationName());
}

} // namespace

bool MUDUnsavedSession::isUnsaved(const MUDConnection& connection)
{
    return connection.title().isEmpty();
}

bool MUDUnsavedSession::isUnsaved(MUDSessionWindow& window)
{
    const std::shared_ptr<MUDConnection> connection = window.document().connection();
    return connection && isUnsaved(*connection);
}

void MUDUnsavedSession::saveConnection(MUDSessionWindow& window)
{
    if (!isUnsaved(window))
        return;
    // The editor works on a copy: the running socket keeps the record it
    // was given, which no other thread may see change.
    const std::shared_ptr<MUDConnection> record = window.document().connection()->copy();
    auto* editor = new MUDEditConnectionWindowController(record, &window);
    QPointer<MUDSessionWindow> target(&window);
    editor->beginSheetModalForWindow(&window, [target, editor, record](int returnCode) {
        editor->deleteLater();
        if (returnCode == CVWindowController::ReturnCodeOK && target)
            adoptStored(*target, record->connectionId());
    });
}
