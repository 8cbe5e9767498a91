#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

class MUDSpeechSink;

// Speaks for the player who does not read the screen: incoming server text
// when "Speak incoming text" is on, the player's own commands unless "Don't
// speak my own commands", and whatever scripts ask for (speak()). One
// message is with the speech service at a time; lines arriving meanwhile
// wait, at most MaximumWaitingLines of them: a flood drops its older lines
// and the next message starts with "Skipped N lines." Speech needs no
// focused window; stop() silences it at once. Costs one check per received
// batch while speech is off. Main thread.
class MUDSpeaker : public QObject {
    Q_OBJECT
public:
    static constexpr int MaximumWaitingLines = 20;
    // A message not reported finished within this time counts as finished,
    // so a silent speech service cannot hold the queue.
    static constexpr int FinishTimeoutMs = 30000;

    static MUDSpeaker& sharedInstance();

    // Makes the sink speech goes to (tests); by default speech-dispatcher,
    // opened when something is first spoken.
    using SinkFactory = std::function<std::unique_ptr<MUDSpeechSink>()>;
    void setSinkFactory(SinkFactory factory);

    void incomingText(const QString& text);
    void ownCommand(const QString& command);
    void speak(const QString& text);
    void stop();

    // Lines waiting for the current message to finish.
    qsizetype waitingLineCount() const { return qsizetype(m_waiting.size()); }

private:
    MUDSpeaker();
    ~MUDSpeaker() override;

    void applySettings();
    void enqueue(const QString& text);
    void speakNext();
    void finished();
    MUDSpeechSink* sink();

    SinkFactory m_sinkFactory;
    std::unique_ptr<MUDSpeechSink> m_sink;
    bool m_sinkFailed = false;
    std::deque<QString> m_waiting;
    qsizetype m_skipped = 0;
    bool m_speaking = false;
    QTimer m_finishTimeout;
};
