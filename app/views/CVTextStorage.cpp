#include "app/views/CVTextStorage.h"

#include <QPlainTextDocumentLayout>
#include <QTextCursor>

CVTextStorage::CVTextStorage(QObject* parent)
    : QTextDocument(parent)
{
    setDocumentLayout(new QPlainTextDocumentLayout(this));
}

QString CVTextStorage::string() const
{
    return toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

QChar CVTextStorage::characterAt(qsizetype index) const
{
    if (index < 0 || index >= characterCount() - 1)
        return {};
    const QChar c = QTextDocument::characterAt(int(index));
    return c == QChar::ParagraphSeparator ? QChar(u'\n') : c;
}

CVRange CVTextStorage::doubleClickAtIndex(qsizetype index) const
{
    if (characterAt(index) == u'.')
        return {index, 1};
    QTextCursor cursor(const_cast<CVTextStorage*>(this));
    cursor.setPosition(int(std::clamp<qsizetype>(index, 0, characterCount() - 1)));
    cursor.select(QTextCursor::WordUnderCursor);
    qsizetype start = cursor.selectionStart();
    qsizetype end = cursor.selectionEnd();
    if (start == end)
        return {index, 0};
    for (qsizetype i = index - 1; i >= start; --i)
        if (characterAt(i) == u'.') {
            start = i + 1;
            break;
        }
    for (qsizetype i = index; i < end; ++i)
        if (characterAt(i) == u'.') {
            end = i;
            break;
        }
    return {start, end - start};
}

qsizetype CVTextStorage::nextWordFromIndex(qsizetype index, bool forward) const
{
    QTextCursor cursor(const_cast<CVTextStorage*>(this));
    cursor.setPosition(int(std::clamp<qsizetype>(index, 0, characterCount() - 1)));
    if (forward) {
        if (characterAt(index) == u'.')
            return index + 1;
        cursor.movePosition(QTextCursor::NextWord);
        for (qsizetype i = index + 1; i < cursor.position(); ++i)
            if (characterAt(i) == u'.')
                return i;
        return cursor.position();
    }
    if (characterAt(index - 1) == u'.')
        return index - 1;
    cursor.movePosition(QTextCursor::PreviousWord);
    for (qsizetype i = index - 2; i >= cursor.position(); --i)
        if (characterAt(i) == u'.')
            return i + 1;
    return cursor.position();
}
