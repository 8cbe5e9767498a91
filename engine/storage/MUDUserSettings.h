#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <array>

// The player's preferences, kept with QSettings in the INI file
// "preferences.ini" of the data folder (MUDStorageRoot), so a test's own
// data folder keeps its own preferences. Read once per data folder and then
// served from memory; a stored value of the wrong type or out of range reads
// as the default, with a log line. Whether a font family is installed is
// the font helper's question, not this class's. Any thread (guarded by a
// mutex); the change signals come on the thread that made the change.
class MUDUserSettings : public QObject {
    Q_OBJECT
public:
    // The keys, stable: players and their scripts write them too.
    static inline const QString OutputFontFamilyKey = QStringLiteral("output/fontFamily");
    static inline const QString OutputFontSizeKey = QStringLiteral("output/fontSize");
    static inline const QString MatchEveryLineKey = QStringLiteral("triggers/matchEveryLine");
    static inline const QString SpeechRateKey = QStringLiteral("accessibility/speechRate");
    static inline const QString SpeechVolumeKey = QStringLiteral("accessibility/speechVolume");
    // Choices for players with a screen reader or low vision, each off by default.
    enum class Accessibility { DontBlinkText, HighContrastColors, SpeakIncomingText, DontSpeakOwnCommands };
    static constexpr int AccessibilityCount = 4;
    static QString accessibilityKey(Accessibility option);
    // Speech rate and volume, as speech-dispatcher takes them: -100 to 100, 0 the voice's own.
    static constexpr int MinimumSpeechSetting = -100;
    static constexpr int MaximumSpeechSetting = 100;
    static constexpr int MinimumFontSize = 6;
    static constexpr int MaximumFontSize = 72;

    static MUDUserSettings& sharedInstance();

    // The file the preferences live in.
    static QString filePath();

    // The family chosen for session output; empty when none is.
    QString outputFontFamily();
    // The point size chosen for session output; 0 when none is.
    int outputFontSize();
    // Whether triggers look at every line of output rather than one window
    // of text per pass. Stored here for the trigger work; false by default.
    bool matchEveryLine();

    void setOutputFontFamily(const QString& family);
    // Sizes outside MinimumFontSize to MaximumFontSize are refused (false).
    bool setOutputFontSize(int pointSize);
    void setMatchEveryLine(bool matchEveryLine);

    bool accessibilityOption(Accessibility option);
    void setAccessibilityOption(Accessibility option, bool on);
    int speechRate();
    int speechVolume();
    // Values outside MinimumSpeechSetting to MaximumSpeechSetting are refused (false).
    bool setSpeechRate(int rate);
    bool setSpeechVolume(int volume);

    // Grows with every change of a value and whenever the data folder
    // changes, so a reader that derives something (a font) knows when to
    // derive it again.
    quint64 generation();

signals:
    void outputFontChanged();
    void matchEveryLineChanged(bool matchEveryLine);
    // An accessibility option or the speech rate or volume changed.
    void accessibilityChanged();

private:
    struct Values {
        QString fontFamily;
        int fontSize = 0;
        bool matchEveryLine = false;
        std::array<bool, AccessibilityCount> accessibility{};
        int speechRate = 0;
        int speechVolume = 0;
    };

    MUDUserSettings() = default;
    // Loads the file when the data folder is not the one last loaded.
    // Called with the mutex held.
    void loadIfNeeded();
    // Writes `value` under `key` (an invalid value removes the key) and
    // counts the change. Called with the mutex held.
    void store(const QString& key, const QVariant& value);
    // Sets a speech value in range under `key`; false when out of range.
    bool setSpeechValue(int Values::*member, const QString& key, int value);

    QMutex m_mutex;
    QString m_loadedFolder;
    Values m_values;
    quint64 m_generation = 0;
};
