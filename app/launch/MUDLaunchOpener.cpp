#include "app/launch/MUDLaunchOpener.h"

#include <QMessageBox>
#include <cstdio>

#include "app/connections/MUDConnectionsWindowController.h"
#include "app/launch/MUDLaunchTarget.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/MUDDocumentController.h"
#include "core/CVLogHelper.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {

void bringToFront(QWidget* window)
{
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace

MUDLaunchOpener::MUDLaunchOpener(AppDelegate& delegate, QObject* parent)
    : QObject(parent)
    , m_delegate(delegate)
{
}

QStringList MUDLaunchOpener::openTargets(const QStringList& targets)
{
    if (targets.isEmpty())
        return {};
    const MUDConnectionList stored = MUDPreservation::loadConnections();
    QStringList errors;
    QWidget* lastOpened = nullptr;
    for (const QString& argument : targets) {
        const MUDLaunchTarget target = MUDLaunchTarget::resolve(argument, stored);
        if (!target.isValid()) {
            errors.append(target.errorText());
            continue;
        }
        CVLog(QStringLiteral("Launch opens %1")
                  .arg(target.isStored() ? target.connection()->title() : QStringLiteral("an unsaved connection")));
        if (QWidget* window = m_delegate.documentController().openSessionForConnection(target.connection()))
            lastOpened = window;
    }
    if (lastOpened)
        bringToFront(lastOpened);
    if (!errors.isEmpty())
        reportErrors(errors);
    return errors;
}

QMessageBox* MUDLaunchOpener::errorAlert() const
{
    return m_errorAlert;
}

void MUDLaunchOpener::raise()
{
    const QList<QWidget*> sessions = m_delegate.documentController().sessionWindows();
    if (!sessions.isEmpty())
        bringToFront(sessions.constLast());
    else
        m_delegate.bringConnectionsWindowToFront();
}

void MUDLaunchOpener::reportErrors(const QStringList& errors)
{
    for (const QString& error : errors)
        std::fprintf(stderr, "quarrow: %s\n", error.toLocal8Bit().constData());
    std::fflush(stderr);

    m_delegate.bringConnectionsWindowToFront();
    QWidget* parent = m_delegate.connectionsWindow();
    if (m_errorAlert)
        m_errorAlert->close();
    auto* alert = new QMessageBox(parent);
    alert->setObjectName(QStringLiteral("MUDLaunchErrorAlert"));
    alert->setIcon(QMessageBox::Warning);
    alert->setWindowTitle(tr("Cannot open"));
    alert->setText(errors.size() == 1
                       ? tr("Quarrow could not open what it was asked to open.")
                       : tr("Quarrow could not open %1 of the things it was asked to open.").arg(errors.size()));
    alert->setInformativeText(errors.join(QLatin1Char('\n')));
    alert->addButton(QMessageBox::Ok);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    if (parent)
        alert->setWindowModality(Qt::WindowModal);
    m_errorAlert = alert;
    alert->open();
}
