#pragma once

#include <QByteArrayView>
#include <QtGlobal>

class ANSIDataProcessor;
class ANSIDataProcessorResults;

// Receives the decoder's batches. Called synchronously on the thread that
// called processData(), at most once per call and only with at least one
// chunk.
class ANSIDataProcessorDelegate {
public:
    virtual ~ANSIDataProcessorDelegate() = default;
    virtual void ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results) = 0;
    // The server announced that it will (IAC WILL ECHO) or will not (IAC
    // WONT ECHO) echo what the client sends, as it does around a password
    // prompt. Called when the command is complete, which may be a read after
    // it began, and before the batch of the read that completed it. Only an
    // observation: nothing is answered.
    virtual void ANSIDataProcessorServerEchoes(ANSIDataProcessor* processor, bool serverEchoes)
    {
        Q_UNUSED(processor);
        Q_UNUSED(serverEchoes);
    }
    // One complete telnet command (IAC <command>, IAC WILL/WONT/DO/DONT
    // <option>, IAC SB <option> ... IAC SE) with its bytes as received, at
    // the same moment as ANSIDataProcessorServerEchoes; the command stays in
    // the batch as a telnet chunk as well. Returning false stops decoding
    // the read right after this command (see ANSIDataProcessor::consumedBytes),
    // for a caller whose following bytes need another treatment first.
    virtual bool ANSIDataProcessorTelnetCommand(ANSIDataProcessor* processor, QByteArrayView command)
    {
        Q_UNUSED(processor);
        Q_UNUSED(command);
        return true;
    }
};
