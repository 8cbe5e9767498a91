#include "app/launch/MUDLaunchTarget.h"

#include <QCoreApplication>
#include <QUrl>
#include <QUuid>

#include "engine/connection/MUDConnection.h"

namespace {

const QString TelnetScheme = QStringLiteral("telnet:");
constexpr quint64 HighestPort = 65535;

QString tr(const char* text)
{
    return QCoreApplication::translate("MUDLaunchTarget", text);
}

bool looksLikeAddress(const QString& argument)
{
    return argument.startsWith(TelnetScheme, Qt::CaseInsensitive) || argument.contains(QStringLiteral("://"));
}

std::shared_ptr<MUDConnection> findTitle(const QString& title, const MUDConnectionList& stored)
{
    // Titles are unique without regard to case; an exact match still goes first.
    for (const std::shared_ptr<MUDConnection>& connection : stored)
        if (connection->title() == title)
            return connection;
    for (const std::shared_ptr<MUDConnection>& connection : stored)
        if (connection->title().compare(title, Qt::CaseInsensitive) == 0)
            return connection;
    return nullptr;
}

// The host as a URL would hold it, or empty when it is not a valid host name
// or address.
QString validHost(const QString& host)
{
    QUrl url;
    url.setHost(host, QUrl::StrictMode);
    return url.isValid() ? url.host() : QString();
}

} // namespace

MUDLaunchTarget MUDLaunchTarget::resolve(const QString& argument, const MUDConnectionList& stored)
{
    MUDLaunchTarget target;
    if (std::shared_ptr<MUDConnection> connection = findTitle(argument, stored)) {
        target.m_connection = std::move(connection);
        target.m_isStored = true;
        return target;
    }
    if (looksLikeAddress(argument)) {
        target.m_connection = connectionFromTelnetAddress(argument, &target.m_errorText);
        return target;
    }
    target.m_errorText = tr("No stored connection is titled \"%1\".").arg(argument);
    return target;
}

std::shared_ptr<MUDConnection> MUDLaunchTarget::connectionFromTelnetAddress(const QString& address, QString* error)
{
    const auto fail = [&](const QString& reason) -> std::shared_ptr<MUDConnection> {
        if (error)
            *error = tr("\"%1\" is not a telnet address like telnet://host:port: %2.").arg(address, reason);
        return nullptr;
    };
    const QString prefix = TelnetScheme + QStringLiteral("//");
    if (!address.startsWith(prefix, Qt::CaseInsensitive))
        return fail(tr("only telnet:// addresses can be opened"));
    QString authority = address.mid(prefix.size());
    if (authority.endsWith(QLatin1Char('/')))
        authority.chop(1);
    if (authority.contains(QLatin1Char('/')) || authority.contains(QLatin1Char('?')) ||
        authority.contains(QLatin1Char('#')))
        return fail(tr("it has a path, a query or a fragment, and a session takes only a host and a port"));
    if (authority.contains(QLatin1Char('@')))
        return fail(tr("it carries a user name, which a session does not take from an address"));

    QString host = authority;
    QString portText;
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(tr("the bracket around the IPv6 address is not closed"));
        host = authority.mid(1, close - 1);
        const QString rest = authority.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return fail(tr("only a port may follow the IPv6 address"));
        if (!rest.isEmpty())
            portText = rest.mid(1);
    } else if (const qsizetype colon = authority.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = authority.left(colon);
        portText = authority.mid(colon + 1);
        if (host.contains(QLatin1Char(':')))
            return fail(tr("an IPv6 address must be written in brackets"));
    }
    if (host.isEmpty())
        return fail(tr("it names no host"));
    const QString checkedHost = validHost(host);
    if (checkedHost.isEmpty())
        return fail(tr("\"%1\" is not a valid host name or address").arg(host));

    quint64 port = DefaultTelnetPort;
    // An empty port after the colon means the default, as in any URL.
    if (!portText.isEmpty()) {
        bool digitsOnly = portText.size() <= 5;
        for (const QChar c : portText)
            digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        port = digitsOnly ? portText.toULongLong() : 0;
        if (port == 0 || port > HighestPort)
            return fail(tr("the port must be a number from 1 to %1").arg(HighestPort));
    }

    auto connection = std::make_shared<MUDConnection>();
    connection->setConnectionId(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    connection->setHost(checkedHost);
    connection->setPort(port);
    return connection;
}
