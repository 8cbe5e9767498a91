#pragma once

#include <QByteArray>

#include "core/CVError.h"

// gzip (RFC 1952) compression through zlib; the only user of zlib. Any
// thread; no state.
class CVCkoGzip {
public:
    // The gzip form of `data`; empty with an error on failure.
    static QByteArray gzip(const QByteArray& data, CVError* error = nullptr);
    // The data of one gzip stream; empty with an error when `data` is not a
    // complete, valid gzip stream or inflates beyond `maxSize` bytes.
    static QByteArray gunzip(const QByteArray& data, CVError* error = nullptr, qsizetype maxSize = 256 * 1024 * 1024);
};
