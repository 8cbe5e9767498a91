#pragma once

class QApplication;

// The application's look: always dark, whatever the desktop's theme
// (the Fusion style with a dark palette). Main thread.
class MUDAppearance {
public:
    static void applyDarkAppearance(QApplication& application);
};
