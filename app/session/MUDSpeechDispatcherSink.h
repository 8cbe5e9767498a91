#pragma once

#include <memory>

#include "app/session/MUDSpeechSink.h"

// Speech through speech-dispatcher (libspeechd): messages at text priority,
// which waits behind other speech and gives way to a screen reader's. The
// connection opens on construction (starting the daemon when the system
// allows it); without one every speak() reports false. The daemon's end and
// cancel notices arrive on its thread and are handed to the main thread.
// The only user of libspeechd. Main thread.
class MUDSpeechDispatcherSink : public MUDSpeechSink {
public:
    MUDSpeechDispatcherSink();
    ~MUDSpeechDispatcherSink() override;

    bool isOpen() const;

    bool speak(const QString& text) override;
    void cancel() override;
    void setRate(int rate) override;
    void setVolume(int volume) override;
    // The daemon's notice that a message ended, on the main thread.
    void notifyFinished() { reportFinished(); }

private:
    // libspeechd's connection, behind a declaration of ours (its type has no name to declare).
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
