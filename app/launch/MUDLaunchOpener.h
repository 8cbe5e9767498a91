#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class AppDelegate;
class QMessageBox;

// Opens what a launch asked for, from the program's own command line or
// handed over by a later launch: a session per stored title or telnet://
// address. What cannot be opened is written to standard error and listed in
// one alert over the connections window, which then opens. Main thread.
class MUDLaunchOpener : public QObject {
    Q_OBJECT
public:
    explicit MUDLaunchOpener(AppDelegate& delegate, QObject* parent = nullptr);

    // Opens every target in order; returns the error texts (none when all
    // opened). The last session opened comes to the front.
    QStringList openTargets(const QStringList& targets);
    // A launch that asked for nothing: the newest session window, or else
    // the connections window, comes to the front.
    void raise();

    // The alert of the last failed request while it is shown.
    QMessageBox* errorAlert() const;

private:
    void reportErrors(const QStringList& errors);

    AppDelegate& m_delegate;
    QPointer<QMessageBox> m_errorAlert;
};
