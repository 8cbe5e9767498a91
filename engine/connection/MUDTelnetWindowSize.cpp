#include "engine/connection/MUDTelnetWindowSize.h"

#include <QByteArray>
#include <QtEndian>
#include <algorithm>

#include "engine/connection/MUDTelnet.h"

namespace {
// Sixteen bits each on the wire; a window of no size tells the server nothing.
quint16 clamped(int value)
{
    return quint16(std::clamp(value, 1, 65535));
}
}

MUDTelnetWindowSize::MUDTelnetWindowSize(int columns, int rows)
    : MUDTelnetOptionHandler(MUDTelnet::Option::WindowSize, true, false)
    , m_columns(clamped(columns))
    , m_rows(clamped(rows))
{
}

void MUDTelnetWindowSize::setWindowSize(int columns, int rows)
{
    withNegotiatorLocked([&] {
        m_columns = clamped(columns);
        m_rows = clamped(rows);
        if (isEnabled(MUDTelnetSide::Client))
            sendIfChanged();
    });
}

void MUDTelnetWindowSize::enabled(MUDTelnetSide)
{
    m_sentColumns = m_sentRows = 0;
    sendIfChanged();
}

void MUDTelnetWindowSize::disabled(MUDTelnetSide)
{
    m_sentColumns = m_sentRows = 0;
}

QString MUDTelnetWindowSize::detail() const
{
    return QStringLiteral("%1x%2").arg(m_columns).arg(m_rows);
}

void MUDTelnetWindowSize::sendIfChanged()
{
    if (m_columns == m_sentColumns && m_rows == m_sentRows)
        return;
    QByteArray payload(4, '\0');
    qToBigEndian(m_columns, payload.data());
    qToBigEndian(m_rows, payload.data() + 2);
    sendSubnegotiation(payload);
    m_sentColumns = m_columns;
    m_sentRows = m_rows;
    log(QStringLiteral("sent %1x%2").arg(m_columns).arg(m_rows));
}
