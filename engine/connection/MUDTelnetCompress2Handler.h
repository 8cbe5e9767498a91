#pragma once

#include <memory>

#include "engine/connection/MUDTelnetOptionHandler.h"

class MUDReceiveStream;

// COMPRESS2 (MCCP2, option 86): the server may compress what it sends. The
// client accepts its offer (IAC DO COMPRESS2 to its IAC WILL); while the
// option is on, a compression start begins a compressed stream in the
// connection's MUDReceiveStream. #telnet shows what compression saved.
//
// Threads: as MUDTelnetOptionHandler; detail() from any thread.
class MUDTelnetCompress2Handler : public MUDTelnetOptionHandler {
public:
    // Weak: the stream belongs to the connection's receiving end.
    explicit MUDTelnetCompress2Handler(std::weak_ptr<MUDReceiveStream> stream);

    void enabled(MUDTelnetSide side) override;
    void disabled(MUDTelnetSide side) override;
    QString detail() const override;

private:
    const std::weak_ptr<MUDReceiveStream> m_stream;
};
