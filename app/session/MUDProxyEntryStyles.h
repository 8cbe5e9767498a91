#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QTextCharFormat>
#include <utility>

#include "core/CVFormatId.h"

// The styles that tell proxy entries apart: a run's format without its
// foreground colour and font, each kept once with the "fg", "bg" and
// "flags" details an entry carries. Neighbouring runs of one style make one
// entry. Output switches among a handful of formats, so each is reduced
// once: formats named by an id are looked up by it, others by comparing
// with the formats seen last (formats that share their data compare at
// once). Style 0 is the plain format. Main thread.
class MUDProxyEntryStyles {
public:
    MUDProxyEntryStyles();

    qsizetype styleOf(const QTextCharFormat& format, CVFormatId id = {});
    // The entry of a style without its text.
    const QJsonObject& details(qsizetype style) const { return m_details[style]; }
    const QList<QJsonObject>& allDetails() const { return m_details; }

private:
    qsizetype reducedStyle(const QTextCharFormat& format);

    QList<QTextCharFormat> m_reduced;
    QList<QJsonObject> m_details;
    QHash<quint64, qsizetype> m_styleOfId;
    // Formats without an id, newest first, and their styles.
    QList<std::pair<QTextCharFormat, qsizetype>> m_recent;
};
