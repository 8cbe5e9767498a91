#pragma once

#include <QPixmap>
#include <QString>

class QIcon;

// The application's named pictures ("AppIcon", "MudConnection", the four
// "ConnectionWindowStatus..." dots, "MUDConnectionsWindowControllerImage",
// the "SecureConnection" lock),
// drawn in code so no image plugin is needed. Unknown names give a null
// pixmap. Main thread.
class MUDImageLibrary {
public:
    static QPixmap imageNamed(const QString& name, int size = 64);
    // The application's icon at the usual sizes.
    static QIcon applicationIcon();

private:
    static QPixmap statusDot(const QColor& color, int size);
    static QPixmap appIcon(int size);
    static QPixmap connectionPicture(int size);
    static QPixmap lock(int size);
};
