#include "app/session/MUDProxyEntryStyles.h"

#include <QVariantMap>

#include "engine/decoding/MUDTextAttributes.h"

namespace {

// Formats without an id remembered at once; a longer list costs more to
// search than reducing a format again.
constexpr qsizetype kRecentFormats = 32;

// A run's attributes without its foreground colour and font, so runs differ
// only where the rest of their style does.
QTextCharFormat withoutForegroundAndFont(const QTextCharFormat& format)
{
    QTextCharFormat reduced = format;
    reduced.clearForeground();
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (it.key() >= QTextFormat::FirstFontProperty && it.key() <= QTextFormat::LastFontProperty)
            reduced.clearProperty(it.key());
    }
    return reduced;
}

// An entry without its text: the "fg", "bg" and "flags" details of a format.
QJsonObject proxyEntryDetails(const QTextCharFormat& format)
{
    static const QString keys[] = {QStringLiteral("fg"), QStringLiteral("bg"), QStringLiteral("flags")};
    const QVariantMap details = format.property(MUDSectionDetailsProperty).toMap();
    QJsonObject entry;
    for (const QString& key : keys) {
        if (details.contains(key))
            entry.insert(key, QJsonValue::fromVariant(details.value(key)));
    }
    return entry;
}

}

MUDProxyEntryStyles::MUDProxyEntryStyles()
    : m_reduced{QTextCharFormat()}
    , m_details{QJsonObject()}
{
}

qsizetype MUDProxyEntryStyles::styleOf(const QTextCharFormat& format, CVFormatId id)
{
    if (id.isValid()) {
        const auto known = m_styleOfId.constFind(id.key());
        if (known != m_styleOfId.cend())
            return known.value();
        const qsizetype style = reducedStyle(format);
        m_styleOfId.insert(id.key(), style);
        return style;
    }
    for (qsizetype i = 0; i < m_recent.size(); ++i) {
        if (m_recent[i].first == format) {
            const qsizetype style = m_recent[i].second;
            if (i > 0)
                m_recent.move(i, 0);
            return style;
        }
    }
    const qsizetype style = reducedStyle(format);
    m_recent.prepend({format, style});
    if (m_recent.size() > kRecentFormats)
        m_recent.removeLast();
    return style;
}

qsizetype MUDProxyEntryStyles::reducedStyle(const QTextCharFormat& format)
{
    const QTextCharFormat reduced = withoutForegroundAndFont(format);
    qsizetype style = m_reduced.indexOf(reduced);
    if (style < 0) {
        style = m_reduced.size();
        m_reduced.append(reduced);
        m_details.append(proxyEntryDetails(reduced));
    }
    return style;
}
