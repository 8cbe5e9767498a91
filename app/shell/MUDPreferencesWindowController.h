#pragma once

#include <QWidget>
#include <map>

#include "engine/storage/MUDUserSettings.h"

class QCheckBox;
class QFontComboBox;
class QSpinBox;

// The Preferences window: the font family and size of session output,
// whether triggers match every line, and the accessibility choices (blinking,
// high-contrast colours, speech). Each change is written to
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
    QCheckBox* accessibilityBox(MUDUserSettings::Accessibility option) const { return m_accessibilityBoxes.at(option); }
    QSpinBox* speechRateBox() const { return m_speechRateBox; }
    QSpinBox* speechVolumeBox() const { return m_speechVolumeBox; }

private:
    QWidget* makeOutputSection();
    QWidget* makeTriggersSection();
    QWidget* makeAccessibilitySection();
    // Shows what the session font is now, then starts writing changes.
    void showCurrentValues();

    QFontComboBox* m_fontFamilyBox = nullptr;
    QSpinBox* m_fontSizeBox = nullptr;
    QCheckBox* m_matchEveryLineBox = nullptr;
    std::map<MUDUserSettings::Accessibility, QCheckBox*> m_accessibilityBoxes;
    QSpinBox* m_speechRateBox = nullptr;
    QSpinBox* m_speechVolumeBox = nullptr;
};
