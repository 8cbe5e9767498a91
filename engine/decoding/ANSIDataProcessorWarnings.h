#pragma once

#include <QList>
#include <QString>

// The diagnostic lines of one decoded read. A hostile stream (random bytes,
// invalid UTF-8) would otherwise write a line per chunk, more log than
// input; here each kind of warning is written once per read with its count,
// and telnet commands are written one by one only up to a limit per read.
// One thread at a time (the decoder's).
class ANSIDataProcessorWarnings {
public:
    static constexpr int MaxTelnetLinesPerRead = 16;

    // A warning whose text is `format` with its %1 (if any) filled by
    // `detail`; the first detail of a kind stands for the rest.
    void warn(const QString& format, const QString& detail = {});
    // One telnet command's line, written at once while under the limit.
    void telnetCommand(const QString& line);
    // Writes what was collected and starts over.
    void flush();

private:
    struct Kind {
        QString format;
        QString firstDetail;
        int count = 0;
    };
    QList<Kind> m_kinds;
    int m_telnetCommands = 0;
};
