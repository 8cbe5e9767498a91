#include "engine/connection/MUDTelnetCharset.h"

#include <QByteArray>
#include <QList>

#include "engine/connection/MUDTelnet.h"

namespace {
constexpr char kRequest = 1;
constexpr char kAccepted = 2;
constexpr char kRejected = 3;
constexpr char kTtableIs = 4;
constexpr char kTtableRejected = 5;
const QByteArray kTtableMark = QByteArrayLiteral("[TTABLE]");
}

MUDTelnetCharset::MUDTelnetCharset(Agreed agreed)
    : MUDTelnetOptionHandler(MUDTelnet::Option::Charset, true, true)
    , m_agreed(std::move(agreed))
{
}

QByteArray MUDTelnetCharset::acceptedCharset(QByteArrayView request)
{
    // An offer of translation tables carries a version byte first.
    if (request.startsWith(kTtableMark))
        request = request.sliced(std::min(request.size(), kTtableMark.size() + 1));
    if (request.size() < 2)
        return {};
    const char separator = request[0];
    for (const QByteArray& name : request.sliced(1).toByteArray().split(separator)) {
        const QByteArray plain = name.trimmed().toUpper();
        if (plain == "UTF-8" || plain == "UTF8")
            return name.trimmed();
    }
    return {};
}

void MUDTelnetCharset::subnegotiation(QByteArrayView payload)
{
    if (payload.isEmpty())
        return;
    if (payload[0] == kTtableIs) {
        sendSubnegotiation(QByteArray(1, kTtableRejected));
        log(QStringLiteral("refused a translation table"));
        return;
    }
    if (payload[0] != kRequest)
        return;
    const QByteArray charset = acceptedCharset(payload.sliced(1));
    if (charset.isEmpty()) {
        sendSubnegotiation(QByteArray(1, kRejected));
        log(QStringLiteral("rejected %1")
                .arg(QString::fromLatin1(
                    payload.sliced(1).first(std::min<qsizetype>(payload.size() - 1, 200)).toByteArray())));
        return;
    }
    sendSubnegotiation(kAccepted + charset);
    m_charset = charset;
    log(QStringLiteral("accepted %1").arg(QString::fromLatin1(charset)));
    if (m_agreed)
        postToSession([agreed = m_agreed, name = QString::fromLatin1(charset)] { agreed(name); });
}

QString MUDTelnetCharset::detail() const
{
    return m_charset.isEmpty() ? QString() : QStringLiteral("agreed %1").arg(QString::fromLatin1(m_charset));
}
