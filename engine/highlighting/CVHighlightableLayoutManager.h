#pragma once

#include <QPointer>
#include <QTextDocument>
#include <QTextLayout>
#include <map>

#include "engine/highlighting/CVHighlightable.h"

// Paints into the temporary formatting of a document's block layouts
// (QTextLayout formats), so the document text itself stays plain, as
// QSyntaxHighlighter does. Adding an attribute over a range replaces every
// other temporary format there. The document is held weakly; once it is gone
// painting does nothing. Main thread.
class CVHighlightableLayoutManager : public CVHighlightable {
public:
    explicit CVHighlightableLayoutManager(QTextDocument* document);
    ~CVHighlightableLayoutManager() override;

    void beginEditing() override { m_editing = true; }
    void endEditing() override;
    qsizetype length() const override;
    void addAttribute(int attribute, const QVariant& value, CVRange range) override;
    void addAttributes(const QMap<int, QVariant>& attributes, CVRange range) override;
    void removeAttribute(int attribute, CVRange range) override;
    QString substringWithRange(CVRange range) const override;

    bool isEditing() const { return m_editing; }

private:
    // Calls `edit` with each touched block's formats and the block-relative
    // span; `edit` answers whether it changed them.
    template<typename Edit> void editBlocks(CVRange range, Edit edit);
    // Hands the edited formats to their layouts and tells the document
    // layout to lay out the touched blocks again, so the new formats are
    // drawn; batched until endEditing.
    void flush();

    QPointer<QTextDocument> m_document;
    bool m_editing = false;
    qsizetype m_dirtyFrom = -1;
    qsizetype m_dirtyTo = -1;
    // Formats edited but not yet handed to their block layouts: setting a
    // layout's formats re-indexes them all, so it is done once per block.
    std::map<QTextLayout*, QList<QTextLayout::FormatRange>> m_pendingFormats;
};
