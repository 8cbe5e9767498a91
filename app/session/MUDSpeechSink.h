#pragma once

#include <QString>
#include <functional>
#include <utility>

// Where spoken text goes: speech-dispatcher in the application
// (MUDSpeechDispatcherSink), a recorder in tests. A sink queues politely:
// its messages wait behind other applications' speech and give way to more
// urgent speech (a screen reader's). Main thread.
class MUDSpeechSink {
public:
    virtual ~MUDSpeechSink() = default;

    // Queues `text` to be spoken; false when speech is unavailable.
    virtual bool speak(const QString& text) = 0;
    // Silences this application's speech at once, queued messages too.
    virtual void cancel() = 0;
    // -100 to 100; 0 is the voice's own.
    virtual void setRate(int rate) = 0;
    virtual void setVolume(int volume) = 0;

    // Called on the main thread whenever a message has been spoken or cancelled.
    void setFinishedHandler(std::function<void()> handler) { m_finished = std::move(handler); }

protected:
    void reportFinished()
    {
        if (m_finished)
            m_finished();
    }

private:
    std::function<void()> m_finished;
};
