#pragma once

#include <QObject>

// Tells the desktop that the program is busy on the network. Showing is
// counted, so overlapping users keep it visible until the last one hides it.
// Windows that draw the indicator listen to indicatorVisibilityChanged() and
// then read isNetworkActivityIndicatorVisible().
// Any thread: the signal is emitted on the thread that turned the indicator
// on or off, so receivers on the main thread get it queued.
class CVNetworkActivityHelper : public QObject {
    Q_OBJECT
public:
    static CVNetworkActivityHelper& sharedInstance();

    static void setNetworkActivityIndicatorVisible(bool visible);
    static bool isNetworkActivityIndicatorVisible();

signals:
    // The indicator turned on or off. A queued delivery may be late, so
    // receivers read the current state rather than guess it.
    void indicatorVisibilityChanged();

private:
    CVNetworkActivityHelper() = default;
};
