#include "app/session/MUDSessionCompressionLines.h"

#include "app/session/MUDDocument.h"
#include "engine/connection/MUDInflater.h"

namespace {
void appendStatusLine(MUDDocument& document, const QString& text, const QColor& color)
{
    document.appendText(MUDDocument::coloredString(text + QStringLiteral("\r\n"), color), true);
}
}

namespace MUDSessionCompressionLines {

void show(MUDDocument& document, MUDReceiveStream::Event event, const MUDCompressionFigures& figures)
{
    using Event = MUDReceiveStream::Event;
    switch (event) {
    case Event::CompressionStarted:
        appendStatusLine(document, QStringLiteral("Compression on (MCCP2)."), MUDDocument::triggerDebugColor());
        break;
    case Event::CompressionEnded:
        appendStatusLine(document, QStringLiteral("Compression off (MCCP2): %1.").arg(figures.text()),
                         MUDDocument::triggerDebugColor());
        break;
    case Event::CompressionTooLarge:
        appendStatusLine(document,
                         QStringLiteral("The server's compressed data expands more than %1 times: it is not shown "
                                        "until the server ends compression.")
                             .arg(MUDInflater::MaxExpansionRatio),
                         MUDDocument::disconnectColor());
        break;
    case Event::CompressionCorrupt:
        appendStatusLine(document, QStringLiteral("The server's compressed data is corrupt: closing the connection."),
                         MUDDocument::disconnectColor());
        break;
    case Event::CompressionDidNotEnd:
        appendStatusLine(document,
                         QStringLiteral("The server did not end its oversized compressed data: closing the "
                                        "connection."),
                         MUDDocument::disconnectColor());
        break;
    }
}

void showDisconnected(MUDDocument& document, const MUDCompressionFigures& figures)
{
    if (figures.wireBytes > 0)
        appendStatusLine(document, QStringLiteral("Compression (MCCP2): %1.").arg(figures.text()),
                         MUDDocument::triggerDebugColor());
}
}
