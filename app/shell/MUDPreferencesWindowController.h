#pragma once

#include <QWidget>

class QCheckBox;
class QFontComboBox;
class QSpinBox;

// The Preferences window: the font family and size of session output, and
// whether triggers match every line. Each change is written to
// MUDUserSettings as the player makes it (nothing to confirm), and open
// session windows follow at once. Not modal; the shell keeps one. Main
// thread.
class MUDPreferencesWindowController : public QWidget {
    Q_OBJECT
public:
    explicit MUDPreferencesWindowController(QWidget* parent = nullptr);

    QFontComboBox* fontFamilyBox() const { return m_fontFamilyBox; }
    QSpinBox* fontSizeBox() const { return m_fontSizeBox; }
    QCheckBox* matchEveryLineBox() const { return m_matchEveryLineBox; }

private:
    QWidget* makeOutputSection();
    QWidget* makeTriggersSection();
    // Shows what the session font is now, then starts writing changes.
    void showCurrentValues();

    QFontComboBox* m_fontFamilyBox = nullptr;
    QSpinBox* m_fontSizeBox = nullptr;
    QCheckBox* m_matchEveryLineBox = nullptr;
};
