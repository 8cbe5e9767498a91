#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// Describes to screen readers the widgets Qt cannot describe itself: the
// output view (MUDDisplayAccessible) and windows built on a plain QWidget,
// which Qt would present as a nameless filler instead of a window.
// Main thread.
class MUDAccessibleFactory {
public:
    // Installs the factory into Qt's accessibility (once per process).
    static void install();

private:
    static QAccessibleInterface* create(const QString& className, QObject* object);
};
