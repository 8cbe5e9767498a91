#pragma once

#include <QString>

#include "engine/decoding/ANSIDataProcessorResults.h"
#include "engine/decoding/MUDTextEncoding.h"

// Turns the text chunks of a connection's batches from the connection's
// text encoding into UTF-8, which is what everything after the decoder
// reads; telnet commands and escape sequences pass unchanged. One per
// connection, so a character cut between two reads (or by an escape
// sequence) is completed by the next text chunk.
//
// Threads: the socket loop thread (one thread at a time).
class MUDTextBatchDecoder {
public:
    explicit MUDTextBatchDecoder(const QString& encoding);
    // False when ICU does not know the encoding.
    bool isValid() const { return m_encoding.isValid(); }

    ANSIDataProcessorResults toUtf8(const ANSIDataProcessorResults& results);

private:
    MUDTextEncoding m_encoding;
};
