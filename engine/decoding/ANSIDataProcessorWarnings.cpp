#include "engine/decoding/ANSIDataProcessorWarnings.h"

#include "core/CVLogHelper.h"

void ANSIDataProcessorWarnings::warn(const QString& format, const QString& detail)
{
    for (Kind& kind : m_kinds) {
        if (kind.format == format) {
            ++kind.count;
            return;
        }
    }
    m_kinds.append({format, detail, 1});
}

void ANSIDataProcessorWarnings::telnetCommand(const QString& line)
{
    if (++m_telnetCommands <= MaxTelnetLinesPerRead)
        CVLog(line);
}

void ANSIDataProcessorWarnings::flush()
{
    for (const Kind& kind : std::as_const(m_kinds)) {
        const bool hasDetail = kind.format.contains(QLatin1String("%1"));
        QString line = hasDetail ? kind.format.arg(kind.firstDetail) : kind.format;
        if (kind.count > 1)
            line += hasDetail ? QStringLiteral(" (first of %1 in this read)").arg(kind.count)
                              : QStringLiteral(" (%1 times in this read)").arg(kind.count);
        CVLog(line);
    }
    if (m_telnetCommands > MaxTelnetLinesPerRead)
        CVLog(QStringLiteral("Telnet commands: %1 more in this read not logged")
                  .arg(m_telnetCommands - MaxTelnetLinesPerRead));
    m_kinds.clear();
    m_telnetCommands = 0;
}
