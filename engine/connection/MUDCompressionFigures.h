#pragma once

#include <QString>
#include <QtGlobal>

// How much a connection's compressed streams saved: bytes taken from the
// wire and the bytes they inflated to. Any thread (a value).
struct MUDCompressionFigures {
    quint64 wireBytes = 0;
    quint64 inflatedBytes = 0;

    // Inflated bytes per wire byte; 0 before any.
    double ratio() const;
    // "<wire> bytes on the wire inflated to <inflated> (ratio 4.6)", numbers
    // in the locale's form.
    QString text() const;
};
