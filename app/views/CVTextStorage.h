#pragma once

#include <QTextDocument>

#include "core/CVRange.h"

// The text store of the script editors: a plain-text document whose word
// selection also stops at full stops, so "app.send" splits into "app", "."
// and "send" for double clicks and word moves. Main thread.
class CVTextStorage : public QTextDocument {
    Q_OBJECT
public:
    explicit CVTextStorage(QObject* parent = nullptr);

    // The text with line feeds between blocks.
    QString string() const;

    // What a double click at character `index` selects: a full stop alone,
    // otherwise the word around it cut at the nearest full stops.
    CVRange doubleClickAtIndex(qsizetype index) const;
    // The next word boundary from `index` (or the previous one), stopping at
    // a nearer full stop; forward from a full stop moves just past it.
    qsizetype nextWordFromIndex(qsizetype index, bool forward) const;

private:
    QChar characterAt(qsizetype index) const;
};
