#pragma once

#include <QString>

class MUDTimer;

// Receives a timer's command when it fires (the session runs it as a
// script). Called on the main thread.
class MUDTimerDelegate {
public:
    virtual ~MUDTimerDelegate() = default;
    virtual void MUDTimerRequestsCommand(MUDTimer* timer, const QString& command) = 0;
};
