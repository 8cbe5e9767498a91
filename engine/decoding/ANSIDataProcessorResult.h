#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The kind of a decoded chunk; the values are those stored for the chunk.
enum class ANSIResultType : qint32 {
    Telnet = 0, // one telnet command, from IAC
    Command = 1, // one escape sequence, ESC through its final byte
    Text = 2, // filtered text bytes, UTF-8; may be empty
};

// One decoded chunk: its kind and its bytes. A light view: the bytes belong
// to the ANSIDataProcessorResults batch that produced it and stay valid as
// long as that batch (or a copy of it) lives. Any thread.
class ANSIDataProcessorResult {
public:
    ANSIDataProcessorResult(QByteArrayView data, ANSIResultType type)
        : m_data(data)
        , m_commandType(type)
    {
    }

    QByteArrayView data() const { return m_data; }
    ANSIResultType type() const { return m_commandType; }

private:
    QByteArrayView m_data;
    ANSIResultType m_commandType;
};
