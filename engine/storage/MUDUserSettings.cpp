#include "engine/storage/MUDUserSettings.h"

#include <QMutexLocker>
#include <QSettings>
#include <QStringList>
#include <optional>

#include "core/CVLogHelper.h"
#include "engine/storage/MUDStorageRoot.h"

namespace {
QString fileInFolder(const QString& folder)
{
    return folder + QStringLiteral("/preferences.ini");
}

bool isTextOrNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return true;
    default: return false;
    }
}

std::optional<int> integerValue(const QVariant& value)
{
    if (!isTextOrNumber(value))
        return std::nullopt;
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

std::optional<bool> booleanValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (!isTextOrNumber(value))
        return std::nullopt;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

void logIgnored(const QString& key, const QVariant& value, const QString& expected)
{
    // A list (an INI value with commas) has no string form of its own.
    const QString shown =
        value.typeId() == QMetaType::QStringList ? value.toStringList().join(QStringLiteral(", ")) : value.toString();
    CVLog(
        QStringLiteral("MUDUserSettings - Ignored %1 = \"%2\": not %3. Using the default.").arg(key, shown, expected));
}
}

MUDUserSettings& MUDUserSettings::sharedInstance()
{
    static MUDUserSettings instance;
    return instance;
}

QString MUDUserSettings::filePath()
{
    return fileInFolder(MUDStorageRoot::sharedInstance().path());
}

QString MUDUserSettings::outputFontFamily()
{
    QMutexLocker lock(&m_mutex);
    loadIfNeeded();
    return m_values.fontFamily;
}

int MUDUserSettings::outputFontSize()
{
    QMutexLocker lock(&m_mutex);
    loadIfNeeded();
    return m_values.fontSize;
}

bool MUDUserSettings::matchEveryLine()
{
    QMutexLocker lock(&m_mutex);
    loadIfNeeded();
    return m_values.matchEveryLine;
}

quint64 MUDUserSettings::generation()
{
    QMutexLocker lock(&m_mutex);
    loadIfNeeded();
    return m_generation;
}

void MUDUserSettings::setOutputFontFamily(const QString& family)
{
    const QString trimmed = family.trimmed();
    {
        QMutexLocker lock(&m_mutex);
        loadIfNeeded();
        if (trimmed == m_values.fontFamily)
            return;
        m_values.fontFamily = trimmed;
        store(OutputFontFamilyKey, trimmed.isEmpty() ? QVariant() : QVariant(trimmed));
    }
    emit outputFontChanged();
}

bool MUDUserSettings::setOutputFontSize(int pointSize)
{
    if (pointSize < MinimumFontSize || pointSize > MaximumFontSize)
        return false;
    {
        QMutexLocker lock(&m_mutex);
        loadIfNeeded();
        if (pointSize == m_values.fontSize)
            return true;
        m_values.fontSize = pointSize;
        store(OutputFontSizeKey, pointSize);
    }
    emit outputFontChanged();
    return true;
}

void MUDUserSettings::setMatchEveryLine(bool matchEveryLine)
{
    {
        QMutexLocker lock(&m_mutex);
        loadIfNeeded();
        if (matchEveryLine == m_values.matchEveryLine)
            return;
        m_values.matchEveryLine = matchEveryLine;
        store(MatchEveryLineKey, matchEveryLine);
    }
    emit matchEveryLineChanged(matchEveryLine);
}

QString MUDUserSettings::accessibilityKey(Accessibility option)
{
    switch (option) {
    case Accessibility::DontBlinkText: return QStringLiteral("accessibility/dontBlinkText");
    case Accessibility::HighContrastColors: return QStringLiteral("accessibility/highContrastColors");
    case Accessibility::SpeakIncomingText: return QStringLiteral("accessibility/speakIncomingText");
    case Accessibility::DontSpeakOwnCommands: return QStringLiteral("accessibility/dontSpeakOwnCommands");
    }
    return {};
}

bool MUDUserSettings::accessibilityOption(Accessibility option)
{
    QMutexLocker lock(&m_mutex);
    loadIfNeeded();
    return m_values.accessibility[size_t(option)];
}

void MUDUserSettings::setAccessibilityOption(Accessibility option, bool on)
{
    {
        QMutexLocker lock(&m_mutex);
        loadIfNeeded();
        if (m_values.accessibility[size_t(option)] == on)
            return;
        m_values.accessibility[size_t(option)] = on;
        store(accessibilityKey(option), on);
    }
    emit accessibilityChanged();
}

int MUDUserSettings::speechRate()
{
    QMutexLocker lock(&m_mutex);
    loadIfNeeded();
    return m_values.speechRate;
}

int MUDUserSettings::speechVolume()
{
    QMutexLocker lock(&m_mutex);
    loadIfNeeded();
    return m_values.speechVolume;
}

bool MUDUserSettings::setSpeechRate(int rate)
{
    return setSpeechValue(&Values::speechRate, SpeechRateKey, rate);
}

bool MUDUserSettings::setSpeechVolume(int volume)
{
    return setSpeechValue(&Values::speechVolume, SpeechVolumeKey, volume);
}

bool MUDUserSettings::setSpeechValue(int Values::*member, const QString& key, int value)
{
    if (value < MinimumSpeechSetting || value > MaximumSpeechSetting)
        return false;
    {
        QMutexLocker lock(&m_mutex);
        loadIfNeeded();
        if (m_values.*member == value)
            return true;
        m_values.*member = value;
        store(key, value);
    }
    emit accessibilityChanged();
    return true;
}

void MUDUserSettings::loadIfNeeded()
{
    const QString folder = MUDStorageRoot::sharedInstance().path();
    if (folder == m_loadedFolder)
        return;
    m_loadedFolder = folder;
    m_values = Values();
    ++m_generation;

    QSettings settings(fileInFolder(folder), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        CVLog(QStringLiteral("MUDUserSettings - %1 could not be read. Using the defaults.").arg(settings.fileName()));
        return;
    }
    if (settings.contains(OutputFontFamilyKey)) {
        const QVariant value = settings.value(OutputFontFamilyKey);
        if (value.typeId() == QMetaType::QString)
            m_values.fontFamily = value.toString().trimmed();
        else
            logIgnored(OutputFontFamilyKey, value, QStringLiteral("a font family name"));
    }
    if (settings.contains(OutputFontSizeKey)) {
        const QVariant value = settings.value(OutputFontSizeKey);
        const std::optional<int> size = integerValue(value);
        if (size && *size >= MinimumFontSize && *size <= MaximumFontSize)
            m_values.fontSize = *size;
        else
            logIgnored(OutputFontSizeKey, value,
                       QStringLiteral("a whole point size from %1 to %2").arg(MinimumFontSize).arg(MaximumFontSize));
    }
    if (settings.contains(MatchEveryLineKey)) {
        const QVariant value = settings.value(MatchEveryLineKey);
        if (const std::optional<bool> on = booleanValue(value))
            m_values.matchEveryLine = *on;
        else
            logIgnored(MatchEveryLineKey, value, QStringLiteral("true or false"));
    }
    for (int option = 0; option < AccessibilityCount; ++option) {
        const QString key = accessibilityKey(Accessibility(option));
        if (!settings.contains(key))
            continue;
        const QVariant value = settings.value(key);
        if (const std::optional<bool> on = booleanValue(value))
            m_values.accessibility[size_t(option)] = *on;
        else
            logIgnored(key, value, QStringLiteral("true or false"));
    }
    for (auto [key, member] :
         {std::pair{SpeechRateKey, &Values::speechRate}, std::pair{SpeechVolumeKey, &Values::speechVolume}}) {
        if (!settings.contains(key))
            continue;
        const QVariant value = settings.value(key);
        const std::optional<int> number = integerValue(value);
        if (number && *number >= MinimumSpeechSetting && *number <= MaximumSpeechSetting)
            m_values.*member = *number;
        else
            logIgnored(
                key, value,
                QStringLiteral("a whole number from %1 to %2").arg(MinimumSpeechSetting).arg(MaximumSpeechSetting));
    }
}

void MUDUserSettings::store(const QString& key, const QVariant& value)
{
    ++m_generation;
    QSettings settings(fileInFolder(m_loadedFolder), QSettings::IniFormat);
    if (value.isValid())
        settings.setValue(key, value);
    else
        settings.remove(key);
    settings.sync();
    // The value still holds for this run; only keeping it failed.
    if (settings.status() != QSettings::NoError)
        CVLog(QStringLiteral("MUDUserSettings - %1 could not be written to %2.").arg(key, settings.fileName()));
}
