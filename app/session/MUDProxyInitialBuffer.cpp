#include "app/session/MUDProxyInitialBuffer.h"

#include <QJsonArray>
#include <vector>

#include "app/session/MUDSessionProxyBridge.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"
#include "engine/decoding/MUDChunkedText.h"
#include "engine/decoding/MUDOutputModel.h"

namespace {

// Characters copied between two looks at the clock: a chunk of the output.
constexpr qsizetype kStepLength = 64 * 1024;

}

// The output as the proxy entries see it: its text, and where each entry
// starts with which style. Neighbouring entries have different styles.
struct MUDProxyInitialBuffer::Copy {
    struct Entry {
        qsizetype start;
        qsizetype style;
    };
    MUDChunkedText text;
    std::vector<Entry> entries;
    QList<QJsonObject> details;

    QString document() const
    {
        QJsonArray array;
        for (size_t i = 0; i < entries.size(); ++i) {
            const qsizetype start = entries[i].start;
            const qsizetype end = i + 1 < entries.size() ? entries[i + 1].start : text.length();
            QJsonObject entry = details[entries[i].style];
            entry.insert(QStringLiteral("text"), text.mid(start, end - start));
            array.append(entry);
        }
        return MUDSessionProxyBridge::proxyDocument(QStringLiteral("initialBuffer"), array);
    }
};

MUDProxyInitialBuffer::MUDProxyInitialBuffer(const MUDOutputModel& output)
    : m_output(&output)
{
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    m_nextSlice.callOnTimeout([this] { copySlice(); });
}

MUDProxyInitialBuffer::~MUDProxyInitialBuffer()
{
    QObject::disconnect(m_changes);
}

void MUDProxyInitialBuffer::request(Ready ready)
{
    m_waiting.append(std::move(ready));
    if (m_waiting.size() > 1)
        return;
    m_copy = std::make_shared<Copy>();
    m_styles = MUDProxyEntryStyles();
    if (m_output)
        m_changes = QObject::connect(m_output, &MUDOutputModel::contentsChanged, m_output,
                                     [this](qsizetype position, qsizetype, qsizetype) { outputChanged(position); });
    copySlice();
}

void MUDProxyInitialBuffer::copySlice()
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qsizetype copied = m_copy->text.length();
        const qsizetype length = m_output ? m_output->length() : copied;
        if (copied >= length) {
            finish();
            return;
        }
        if (clock.elapsed() >= SliceBudgetMs) {
            m_nextSlice.start();
            return;
        }
        copyRange(copied, std::min(length, copied + kStepLength));
    }
}

void MUDProxyInitialBuffer::copyRange(qsizetype from, qsizetype to)
{
    const MUDOutputModel& output = *m_output;
    m_copy->text.append(output.text({from, to - from}));
    output.enumerateStyleRuns(
        {from, to - from}, [&](const QTextCharFormat& text, const QTextCharFormat& whitespace, CVRange range) {
            const qsizetype style = m_styles.styleOf(text);
            if (whitespace == text || m_styles.styleOf(whitespace) == style) {
                addStretch(range.location, style);
                return;
            }
            // White space styled apart: stretch by stretch, as the output splits it.
            output.enumerateAttributes(range, [&](const QTextCharFormat& attributes, CVRange stretch, bool&) {
                addStretch(stretch.location, m_styles.styleOf(attributes));
            });
        });
}

void MUDProxyInitialBuffer::addStretch(qsizetype start, qsizetype style)
{
    if (m_copy->entries.empty() || m_copy->entries.back().style != style)
        m_copy->entries.push_back({start, style});
}

void MUDProxyInitialBuffer::outputChanged(qsizetype position)
{
    // Appends land past the copy; anything else is copied again from where
    // it changed.
    if (position >= m_copy->text.length())
        return;
    m_copy->text.truncate(position);
    while (!m_copy->entries.empty() && m_copy->entries.back().start >= position)
        m_copy->entries.pop_back();
}

void MUDProxyInitialBuffer::finish()
{
    QObject::disconnect(m_changes);
    m_copy->details = m_styles.allDetails();
    const std::shared_ptr<const Copy> copy = std::move(m_copy);
    const auto frame = std::make_shared<const MUDProxyOutgoingFrame>([copy] { return copy->document(); });
    const QList<Ready> waiting = std::exchange(m_waiting, {});
    for (const Ready& ready : waiting)
        ready(frame);
}
