#include "engine/highlighting/CVHighlightableLayoutManager.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

namespace {
using Formats = QList<QTextLayout::FormatRange>;

// Splits the formats so none straddles `from` or `to`; returns nothing, the
// formats inside [from, to) are then whole ranges.
void splitAt(Formats& formats, int from, int to)
{
    Formats result;
    result.reserve(formats.size() + 2);
    for (const QTextLayout::FormatRange& range : formats) {
        const int end = range.start + range.length;
        int start = range.start;
        for (int cut : {from, to}) {
            if (cut > start && cut < end) {
                result.append({start, cut - start, range.format});
                start = cut;
            }
        }
        result.append({start, end - start, range.format});
    }
    formats = result;
}

bool inside(const QTextLayout::FormatRange& range, int from, int to)
{
    return range.start >= from && range.start + range.length <= to;
}
}

CVHighlightableLayoutManager::CVHighlightableLayoutManager(QTextDocument* document)
    : m_document(document)
{
}

CVHighlightableLayoutManager::~CVHighlightableLayoutManager()
{
    m_editing = false;
    flush();
}

void CVHighlightableLayoutManager::endEditing()
{
    m_editing = false;
    flush();
}

qsizetype CVHighlightableLayoutManager::length() const
{
    return m_document ? m_document->characterCount() - 1 : 0;
}

template<typename Edit> void CVHighlightableLayoutManager::editBlocks(CVRange range, Edit edit)
{
    if (!m_document || range.length <= 0)
        return;
    for (QTextBlock block = m_document->findBlock(int(range.location));
         block.isValid() && block.position() < range.end(); block = block.next()) {
        const int from = int(std::max<qsizetype>(range.location - block.position(), 0));
        const int to = int(std::min<qsizetype>(range.end() - block.position(), block.length()));
        if (from >= to)
            continue;
        QTextLayout* layout = block.layout();
        auto pending = m_pendingFormats.find(layout);
        const bool alreadyPending = pending != m_pendingFormats.end();
        if (!alreadyPending)
            pending = m_pendingFormats.emplace(layout, layout->formats()).first;
        Formats& formats = pending->second;
        splitAt(formats, from, to);
        // Handing a layout its formats lays it out and draws it again: a
        // block painted as it already is stays untouched, or painting on
        // every draw would ask for the next draw for ever.
        if (!edit(formats, from, to)) {
            if (!alreadyPending)
                m_pendingFormats.erase(pending);
            continue;
        }
        m_dirtyFrom = m_dirtyFrom < 0 ? block.position() : std::min<qsizetype>(m_dirtyFrom, block.position());
        m_dirtyTo = std::max<qsizetype>(m_dirtyTo, block.position() + block.length());
    }
    if (!m_editing)
        flush();
}

void CVHighlightableLayoutManager::addAttribute(int attribute, const QVariant& value, CVRange range)
{
    addAttributes({{attribute, value}}, range);
}

void CVHighlightableLayoutManager::addAttributes(const QMap<int, QVariant>& attributes, CVRange range)
{
    QTextCharFormat format;
    for (auto attribute = attributes.cbegin(); attribute != attributes.cend(); ++attribute)
        format.setProperty(attribute.key(), attribute.value());
    editBlocks(range, [&](Formats& formats, int from, int to) {
        const QTextLayout::FormatRange painted{from, to - from, format};
        qsizetype insideCount = 0;
        bool alreadyPainted = false;
        for (const QTextLayout::FormatRange& r : formats) {
            if (inside(r, from, to)) {
                ++insideCount;
                alreadyPainted = r == painted;
            }
        }
        if (insideCount == 1 && alreadyPainted)
            return false;
        formats.removeIf([&](const QTextLayout::FormatRange& r) { return inside(r, from, to); });
        formats.append(painted);
        return true;
    });
}

void CVHighlightableLayoutManager::removeAttribute(int attribute, CVRange range)
{
    editBlocks(range, [&](Formats& formats, int from, int to) {
        bool changed = false;
        for (QTextLayout::FormatRange& r : formats) {
            if (inside(r, from, to) && r.format.hasProperty(attribute)) {
                r.format.clearProperty(attribute);
                changed = true;
            }
        }
        formats.removeIf([](const QTextLayout::FormatRange& r) { return r.format.properties().isEmpty(); });
        return changed;
    });
}

QString CVHighlightableLayoutManager::substringWithRange(CVRange range) const
{
    if (!m_document)
        return {};
    QTextCursor cursor(m_document);
    cursor.setPosition(int(range.location));
    cursor.setPosition(int(range.end()), QTextCursor::KeepAnchor);
    return cursor.selectedText().replace(QChar::ParagraphSeparator, u'\n');
}

void CVHighlightableLayoutManager::flush()
{
    if (m_editing || m_dirtyFrom < 0)
        return;
    if (m_document) {
        for (const auto& [layout, formats] : m_pendingFormats)
            layout->setFormats(formats);
        m_document->markContentsDirty(int(m_dirtyFrom), int(m_dirtyTo - m_dirtyFrom));
    }
    m_pendingFormats.clear();
    m_dirtyFrom = m_dirtyTo = -1;
}
