#pragma once

#include <functional>

#include "engine/connection/MUDTelnetOptionHandler.h"

// CHARSET (RFC 2066), on either side: a server's REQUEST is ACCEPTED when
// it offers UTF-8 and REJECTED otherwise; translation tables are never
// taken. The session hears of an agreement through `agreed` (on its own
// thread, in order with the text). Threads: the negotiator's.
class MUDTelnetCharset : public MUDTelnetOptionHandler {
public:
    using Agreed = std::function<void(const QString& charset)>;
    explicit MUDTelnetCharset(Agreed agreed);

    void subnegotiation(QByteArrayView payload) override;
    QString detail() const override;
    // True once a REQUEST was accepted; under the negotiator's lock.
    bool hasAgreed() const { return !m_charset.isEmpty(); }

    // The offered name to accept from a REQUEST payload (after its code),
    // or empty when UTF-8 is not offered.
    static QByteArray acceptedCharset(QByteArrayView request);

private:
    const Agreed m_agreed;
    // Guarded by the negotiator's lock.
    QByteArray m_charset;
};
