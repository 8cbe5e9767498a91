#pragma once

#include <QByteArrayView>
#include <QtGlobal>

enum ANSIResultType : qint32 {
    ANSIResultTypeTelnet = 0,  // one telnet command, from IAC
    ANSIResultTypeCommand = 1, // one escape sequence, ESC through its final byte
    ANSIResultTypeText = 2,    // filtered text bytes, UTF-8; may be empty
};

// One decoded chunk: its kind and its bytes. A light view: the bytes belong
// to the ANSIDataProcessorResults batch that produced it and stay valid as
// long as that batch (or a copy of it) lives. Any thread.
class ANSIDataProcessorResult {
public:
    ANSIDataProcessorResult(QByteArrayView data, qint32 type)
        : m_data(data)
        , m_commandType(type)
    {
    }

    QByteArrayView data() const { return m_data; }
    qint32 type() const { return m_commandType; }

private:
    QByteArrayView m_data;
    qint32 m_commandType;
};
