#pragma once

#include <QByteArrayView>
#include <QGuiApplication>
#include <algorithm>
#include <cstdint>

#include "core/CVLogHelper.h"
#include "tests/support/doubles/NullLogDelegate.h"

// Fuzz targets run thousands of inputs per second: log lines are dropped,
// and a Qt application exists for fonts and formats.
inline void setUpFuzzing()
{
    static NullLogDelegate silent;
    CVLogHelper::sharedInstance().setDelegate(&silent);
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

// A fuzz input taken as a server's stream and the sizes of the reads that
// carry it: the first byte's low four bits say how many size bytes follow
// (each read is 1 to 64 bytes), the rest is the stream; without size bytes
// the stream comes in one read.
class FuzzReads {
public:
    FuzzReads(const uint8_t* data, size_t size)
    {
        if (size < 1)
            return;
        m_sizeCount = std::min<size_t>(data[0] % 16, size - 1);
        m_sizes = data + 1;
        m_stream =
            QByteArrayView(reinterpret_cast<const char*>(data + 1 + m_sizeCount), qsizetype(size - 1 - m_sizeCount));
    }

    QByteArrayView stream() const { return m_stream; }
    // Hands `read` each read's bytes in order.
    template<typename Read> void forEachRead(Read read) const
    {
        qsizetype offset = 0;
        for (size_t index = 0; offset < m_stream.size(); ++index) {
            const qsizetype length = m_sizeCount ? 1 + m_sizes[index % m_sizeCount] % 64 : m_stream.size();
            const qsizetype take = std::min(length, m_stream.size() - offset);
            read(m_stream.sliced(offset, take));
            offset += take;
        }
    }

private:
    size_t m_sizeCount = 0;
    const uint8_t* m_sizes = nullptr;
    QByteArrayView m_stream;
};
