#include "app/session/MUDSpeaker.h"

#include <QStringList>

#include "app/session/MUDSpeechDispatcherSink.h"
#include "app/session/MUDSpeechSink.h"
#include "core/CVLogHelper.h"
#include "engine/storage/MUDUserSettings.h"

namespace {
using Option = MUDUserSettings::Accessibility;

// Server text as words to speak: one entry per line, control characters
// (colour codes are gone already, bells and the like are not) left out.
QStringList spokenLines(const QString& text)
{
    QStringList lines;
    for (QStringView line : QStringView(text).split(u'\n')) {
        QString spoken;
        spoken.reserve(line.size());
        for (QChar c : line)
            if (c.category() != QChar::Other_Control)
                spoken.append(c);
        spoken = spoken.trimmed();
        if (!spoken.isEmpty())
            lines.append(spoken);
    }
    return lines;
}
}

MUDSpeaker& MUDSpeaker::sharedInstance()
{
    static MUDSpeaker speaker;
    return speaker;
}

MUDSpeaker::MUDSpeaker()
    : m_sinkFactory([]() -> std::unique_ptr<MUDSpeechSink> {
        auto sink = std::make_unique<MUDSpeechDispatcherSink>();
        return sink->isOpen() ? std::move(sink) : nullptr;
    })
{
    m_finishTimeout.setSingleShot(true);
    m_finishTimeout.setInterval(FinishTimeoutMs);
    connect(&m_finishTimeout, &QTimer::timeout, this, &MUDSpeaker::finished);
    connect(&MUDUserSettings::sharedInstance(), &MUDUserSettings::accessibilityChanged, this,
            &MUDSpeaker::applySettings);
    applySettings();
}

MUDSpeaker::~MUDSpeaker() = default;

void MUDSpeaker::setSinkFactory(SinkFactory factory)
{
    m_sinkFactory = std::move(factory);
    m_sink.reset();
    m_sinkFailed = false;
    m_waiting.clear();
    m_skipped = 0;
    m_speaking = false;
    m_finishTimeout.stop();
    applySettings();
}

void MUDSpeaker::applySettings()
{
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    if (m_sink) {
        m_sink->setRate(settings.speechRate());
        m_sink->setVolume(settings.speechVolume());
    }
}

// The options are read each time (they are kept in memory), so a change of
// data folder is followed too.
void MUDSpeaker::incomingText(const QString& text)
{
    if (MUDUserSettings::sharedInstance().accessibilityOption(Option::SpeakIncomingText))
        enqueue(text);
}

void MUDSpeaker::ownCommand(const QString& command)
{
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    if (settings.accessibilityOption(Option::SpeakIncomingText) &&
        !settings.accessibilityOption(Option::DontSpeakOwnCommands))
        enqueue(command);
}

void MUDSpeaker::speak(const QString& text)
{
    enqueue(text);
}

void MUDSpeaker::stop()
{
    m_waiting.clear();
    m_skipped = 0;
    if (m_sink)
        m_sink->cancel();
}

void MUDSpeaker::enqueue(const QString& text)
{
    for (const QString& line : spokenLines(text))
        m_waiting.push_back(line);
    // A flood keeps its newest lines; the rest are counted, not queued.
    while (qsizetype(m_waiting.size()) > MaximumWaitingLines) {
        m_waiting.pop_front();
        ++m_skipped;
    }
    if (!m_speaking)
        speakNext();
}

void MUDSpeaker::speakNext()
{
    if (m_waiting.empty())
        return;
    MUDSpeechSink* target = sink();
    if (!target) {
        m_waiting.clear();
        m_skipped = 0;
        return;
    }
    QStringList message;
    if (m_skipped > 0)
        message.append(tr("Skipped %n lines.", nullptr, int(m_skipped)));
    message.append(QStringList(m_waiting.begin(), m_waiting.end()));
    m_waiting.clear();
    m_skipped = 0;
    if (!target->speak(message.join(u'\n'))) {
        CVLog(QStringLiteral("MUDSpeaker - The speech service did not take the text."));
        return;
    }
    m_speaking = true;
    m_finishTimeout.start();
}

void MUDSpeaker::finished()
{
    m_finishTimeout.stop();
    m_speaking = false;
    speakNext();
}

MUDSpeechSink* MUDSpeaker::sink()
{
    if (!m_sink && !m_sinkFailed) {
        m_sink = m_sinkFactory ? m_sinkFactory() : nullptr;
        if (!m_sink) {
            // Said once: a player without a speech service gets no log line per received line.
            m_sinkFailed = true;
            CVLog(QStringLiteral("MUDSpeaker - No speech service: nothing will be spoken."));
            return nullptr;
        }
        m_sink->setFinishedHandler([this] { finished(); });
        applySettings();
    }
    return m_sink.get();
}
