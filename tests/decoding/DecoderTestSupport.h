#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

// One chunk, owning its bytes.
struct RecordedChunk {
    ANSIResultType type;
    QByteArray data;
    bool operator==(const RecordedChunk&) const = default;
};

// Records every batch the decoder delivers and every echo report, and the
// order of the two ("batch", "echoes", "does not echo").
class RecordingDelegate : public ANSIDataProcessorDelegate {
public:
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        ++batches;
        for (const ANSIDataProcessorResult result : results)
            chunks.push_back({result.type(), result.data().toByteArray()});
        events << QStringLiteral("batch");
    }
    void ANSIDataProcessorServerEchoes(ANSIDataProcessor*, bool serverEchoes) override
    {
        events << (serverEchoes ? QStringLiteral("echoes") : QStringLiteral("does not echo"));
    }
    bool ANSIDataProcessorTelnetCommand(ANSIDataProcessor*, QByteArrayView command) override
    {
        telnetCommands << command.toByteArray();
        return command != stopAfter;
    }

    int batches = 0;
    QList<QByteArray> telnetCommands;
    // The command after which the decoder is asked to stop its read.
    QByteArray stopAfter;
    std::vector<RecordedChunk> chunks;
    QStringList events;
};

// Renders chunks as plain text: T"..." text, C"..." escape sequence,
// N<hex> telnet; control and non-ASCII bytes as \xNN, ESC as \e.
inline QString describeChunks(const std::vector<RecordedChunk>& chunks)
{
    QStringList parts;
    for (const RecordedChunk& chunk : chunks) {
        if (chunk.type == ANSIResultType::Telnet) {
            parts << "N" + QString::fromLatin1(chunk.data.toHex());
            continue;
        }
        QString text = chunk.type == ANSIResultType::Text ? "T\"" : "C\"";
        for (char byte : chunk.data) {
            const uchar c = uchar(byte);
            if (c == 0x1b)
                text += "\\e";
            else if (c == '\n')
                text += "\\n";
            else if (c < 32 || c >= 127)
                text += QString("\\x%1").arg(c, 2, 16, QChar('0'));
            else
                text += QChar(c);
        }
        parts << text + "\"";
    }
    return parts.join(' ');
}

// Joins adjacent text chunks and leaves out empty ones: the form of the
// output that must not depend on where reads end.
inline std::vector<RecordedChunk> normalized(const std::vector<RecordedChunk>& chunks)
{
    std::vector<RecordedChunk> result;
    for (const RecordedChunk& chunk : chunks) {
        if (chunk.type == ANSIResultType::Text) {
            if (chunk.data.isEmpty())
                continue;
            if (!result.empty() && result.back().type == ANSIResultType::Text) {
                result.back().data += chunk.data;
                continue;
            }
        }
        result.push_back(chunk);
    }
    return result;
}
