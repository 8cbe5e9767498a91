#pragma once

#include "engine/connection/MUDTelnetOptionHandler.h"

// NAWS (RFC 1073): the client tells the server the output's width and
// height in characters when the option is agreed and again whenever they
// change, so the server wraps its text to the window. Threads: the
// negotiator's; setWindowSize() from any thread.
class MUDTelnetWindowSize : public MUDTelnetOptionHandler {
public:
    MUDTelnetWindowSize(int columns, int rows);

    // A new size; sent at once while the option is on and the size differs
    // from the last one sent.
    void setWindowSize(int columns, int rows);

    void enabled(MUDTelnetSide side) override;
    void disabled(MUDTelnetSide side) override;
    QString detail() const override;

private:
    void sendIfChanged();

    // Guarded by the negotiator's lock.
    quint16 m_columns;
    quint16 m_rows;
    // What the server was last told; 0 x 0 for nothing yet.
    quint16 m_sentColumns = 0;
    quint16 m_sentRows = 0;
};
