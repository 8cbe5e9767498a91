#include "app/views/CVLineNumberRuler.h"

#include <QPainter>

#include "app/views/CVHighlightableTextView.h"

namespace {
constexpr int kMargin = 6;
}

CVLineNumberRuler::CVLineNumberRuler(CVHighlightableTextView* textView)
    : QWidget(textView)
    , m_textView(textView)
{
}

int CVLineNumberRuler::rulerWidth() const
{
    const int digits = int(QString::number(std::max(1, m_textView->blockCount())).size());
    return 2 * kMargin + fontMetrics().horizontalAdvance(u'9') * std::max(digits, 2);
}

void CVLineNumberRuler::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), m_textView->palette().color(QPalette::Base));
    painter.setPen(m_textView->palette().color(QPalette::PlaceholderText));
    const int height = fontMetrics().height();
    for (const auto& [lineNumber, top] : m_textView->visibleLines(event->rect().top(), event->rect().bottom()))
        painter.drawText(0, top, width() - kMargin, height, Qt::AlignRight, QString::number(lineNumber));
}
