#pragma once

#include <QBrush>
#include <QColor>
#include <QList>
#include <QTextFormat>

#include "engine/highlighting/CVHighlightable.h"

// A highlightable that remembers the foreground colour painted on each
// character, so tests can compare what two highlighters painted.
class HighlightRecorder : public CVHighlightable {
public:
    explicit HighlightRecorder(const QString& text)
        : m_text(text)
        , m_colors(text.size())
    {
    }

    void beginEditing() override { ++m_editDepth; }
    void endEditing() override { --m_editDepth; }
    qsizetype length() const override { return m_text.size(); }
    void addAttribute(int attribute, const QVariant& value, CVRange range) override
    {
        if (attribute != QTextFormat::ForegroundBrush)
            return;
        for (qsizetype i = range.location; i < range.end() && i < m_colors.size(); ++i)
            m_colors[i] = value.value<QBrush>().color();
        m_paintedWhileNotEditing = m_paintedWhileNotEditing || m_editDepth == 0;
    }
    void removeAttribute(int, CVRange) override { }
    QString substringWithRange(CVRange range) const override { return m_text.mid(range.location, range.length); }

    const QList<QColor>& colors() const { return m_colors; }
    bool paintedWhileNotEditing() const { return m_paintedWhileNotEditing; }

private:
    QString m_text;
    QList<QColor> m_colors;
    int m_editDepth = 0;
    bool m_paintedWhileNotEditing = false;
};
