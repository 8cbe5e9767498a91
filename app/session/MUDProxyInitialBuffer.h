#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/session/MUDProxyEntryStyles.h"

class MUDOutputModel;
class MUDProxyOutgoingFrame;

// Makes the "initialBuffer" document for viewers joining a shared session
// without holding the main thread: each turn of the event loop copies the
// next stretch of the output (its text, and where each entry starts with
// which style) for at most SliceBudgetMs, until the copy reaches the end of
// the output. Every viewer that asked meanwhile then gets the same frame,
// whose JSON is made and compressed later by the first viewer thread that
// sends it. Output that changes behind the copy (a replaced countdown, a
// cleared output) is copied again from where it changed, so the document
// is the output exactly as it is when it is handed over; what is appended
// later reaches the viewers as updates.
//
// Main thread. The copy handed to the frame is only read afterwards, by
// viewer threads.
class MUDProxyInitialBuffer {
public:
    using Ready = std::function<void(std::shared_ptr<const MUDProxyOutgoingFrame> initialBuffer)>;

    static constexpr int SliceBudgetMs = 10;

    explicit MUDProxyInitialBuffer(const MUDOutputModel& output);
    ~MUDProxyInitialBuffer();
    MUDProxyInitialBuffer(const MUDProxyInitialBuffer&) = delete;
    MUDProxyInitialBuffer& operator=(const MUDProxyInitialBuffer&) = delete;

    // Calls `ready` once the copy has reached the end of the output: at once
    // for a short output, else in a later turn of the event loop.
    void request(Ready ready);
    bool isCopying() const { return !m_waiting.isEmpty(); }

private:
    struct Copy;

    void copySlice();
    void copyRange(qsizetype from, qsizetype to);
    void addStretch(qsizetype start, qsizetype style);
    void outputChanged(qsizetype position);
    void finish();

    QPointer<const MUDOutputModel> m_output;
    QMetaObject::Connection m_changes;
    QTimer m_nextSlice;
    QList<Ready> m_waiting;
    std::shared_ptr<Copy> m_copy;
    MUDProxyEntryStyles m_styles;
};
