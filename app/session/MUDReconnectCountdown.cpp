#include "app/session/MUDReconnectCountdown.h"

#include <algorithm>

#include <QPointer>
#include <QTextCharFormat>

#include "app/session/MUDDocument.h"
#include "app/session/MUDSpellOutFormatter.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDCountdownAttribute.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDTextAttributes.h"

MUDReconnectCountdown::MUDReconnectCountdown(MUDDocument& document)
    : m_document(document)
{
}

void MUDReconnectCountdown::attemptReconnectIfNeeded()
{
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    if (!connection || !connection->automaticallyReconnect() || m_document.isConnected() || m_document.isClosed())
        return;
    ++m_reconnectCount;
    // The countdown lives in the output's attributes and may outlast the
    // session; the session owns this object, so it is alive while the session is.
    const QPointer<MUDDocument> document(&m_document);
    std::shared_ptr<MUDCountdownAttribute> countdown = MUDCountdownAttribute::create(
        [this, document](MUDCountdownAttribute& attribute) {
            if (document)
                onCountdownFinished(attribute);
        },
        [this, document](MUDCountdownAttribute& attribute) {
            if (document)
                onCountdownTickAction(attribute);
        },
        ReconnectCountdown);
    countdown->setTickInterval(m_tickInterval);
    CVAttributedString text =
        MUDDocument::coloredString(reconnectingString(*countdown, m_reconnectCount), MUDDocument::triggerDebugColor());
    text.addAttribute(MUDCountdownProperty, QVariant::fromValue(countdown), {0, text.length()});
    m_document.appendText(text, true);
    countdown->tick();
}

QString MUDReconnectCountdown::reconnectingString(const MUDCountdownAttribute& countdown,
                                                  qint64 connectionAttempt) const
{
    const quint64 remaining = countdown.countdownRemaining();
    return QStringLiteral("\r\nAttempting to reconnect (attempt #%1) in %2 second%3.")
        .arg(connectionAttempt)
        .arg(MUDSpellOutFormatter::spellOut(qint64(remaining)))
        .arg(remaining == 1 ? QString() : QStringLiteral("s"));
}

bool MUDReconnectCountdown::isCounting() const
{
    return !m_document.isConnected() && m_document.isWindowVisible() && !m_document.isClosed();
}

void MUDReconnectCountdown::onCountdownTickAction(MUDCountdownAttribute& countdown)
{
    if (!isCounting())
        return;
    MUDOutputModel& output = m_document.output();
    CVRange found{CVRange::NotFound, 0};
    output.enumerateAttributes(
        {0, output.length()},
        [&found](const QTextCharFormat& attributes, CVRange range, bool& stop) {
            if (attributes.hasProperty(MUDCountdownProperty)) {
                found = range;
                stop = true;
            }
        },
        MUDOutputModel::Direction::Reverse);
    if (!found.isNotFound())
        output.replaceCharacters(found, reconnectingString(countdown, m_reconnectCount));
    countdown.tick();
}

void MUDReconnectCountdown::onCountdownFinished(MUDCountdownAttribute&)
{
    if (isCounting())
        m_document.connectToServer();
}

void MUDReconnectCountdown::removeAnyConnectionCountdown()
{
    MUDOutputModel& output = m_document.output();
    const qsizetype length = output.length();
    const qsizetype searched = std::min(length, CountdownSearchLength);
    CVRange found{CVRange::NotFound, 0};
    std::shared_ptr<MUDCountdownAttribute> countdown;
    output.enumerateAttributes(
        {length - searched, searched},
        [&](const QTextCharFormat& attributes, CVRange range, bool& stop) {
            if (!attributes.hasProperty(MUDCountdownProperty))
                return;
            countdown = attributes.property(MUDCountdownProperty).value<std::shared_ptr<MUDCountdownAttribute>>();
            found = range;
            stop = true;
        },
        MUDOutputModel::Direction::Reverse);
    if (found.isNotFound())
        return;
    if (countdown)
        countdown->clearTarget();
    output.replaceCharacters(found, QString());
}
